// sumwise where a call fails: every allocation of a run in turn, a read of the 1 MiB read way,
// an open refused for lack of permission. The fault injector (support/fault_injection.c) makes
// the one call fail.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "platform/platform.h"
#include "support/fault_injection.h"
#include "support/test_support.h"

namespace {

using namespace testing_support;
namespace fs = std::filesystem;

// A sparse file of `bytes` (read through the 1 MiB read way from 4 MiB on).
fs::path SparseFile(const TempDir& root, const std::string& name, uintmax_t bytes)
{
    const fs::path path = root.File(name, 0);
    fs::resize_file(path, bytes);
    return path;
}

// Each allocation fails in turn (CRC-32C, which needs no digest provider): every line is a
// checksum or the file's error line with a documented code, and the run goes on; only a driver
// that cannot start ends, with its line.
TEST(SumwiseFailurePaths, EveryAllocationFailureEndsTheDocumentedWay)
{
    SKIP_WITHOUT_INJECTOR();
    const TempDir root;
    const std::vector<std::wstring> arguments{L"-q", L"-crc32c", root.File("small.log", 100).wstring(),
                                              SparseFile(root, "large.bin", 5 << 20).wstring(),
                                              (root.path() / "missing.log").wstring()};
    const long allocations = RunWithFault("sumwise", arguments, "malloc:0").calls;
    ASSERT_GT(allocations, 10);
    // A checksum, or an error line: out of memory, a file that cannot be mapped (the code of every
    // mapping failure), the missing file.
    const std::regex line("([0-9a-f]{8}  .*|.*: \\(error 0x(8007000e|800703ee|80070002)\\))");
    for (long n = 1; n <= allocations; ++n) {
        const FaultRun run = RunWithFault("sumwise", arguments, "malloc:" + std::to_string(n));
        SCOPED_TRACE("allocation " + std::to_string(n) + ":\n" + run.result.output);
        const int code = run.result.exitCode;
        ASSERT_TRUE(code == 0 || code == 2 || code == ExpectedExitCode(E_OUTOFMEMORY));
        if (code == 2) {
            EXPECT_EQ(run.result.output, "Cannot initialize cryptographic context.\n");
            continue;
        }
        std::istringstream lines(run.result.output);
        for (std::string text; std::getline(lines, text);) {
            EXPECT_TRUE(std::regex_match(text, line)) << text;
        }
    }
}

// The same for a check: a file that matches is never FAILED, and a run that ends 0 printed
// nothing (with -q only the FAILED and error lines are printed).
TEST(SumwiseFailurePaths, EveryAllocationFailureOfACheck)
{
    SKIP_WITHOUT_INJECTOR();
    const TempDir root;
    const std::string files[] = {root.File("small.log", 100).string(), SparseFile(root, "large.bin", 5 << 20).string()};
    std::ofstream(root.path() / "list.lst")
        << RunProgram("sumwise", {L"-crc32c", fs::path(files[0]).wstring(), fs::path(files[1]).wstring()}).output;
    const std::vector<std::wstring> arguments{L"-q", L"-crc32c", L"-c", (root.path() / "list.lst").wstring()};
    const long allocations = RunWithFault("sumwise", arguments, "malloc:0").calls;
    ASSERT_GT(allocations, 10);
    const std::regex line(".*: \\(error 0x(8007000e|800703ee)\\)|Not enough memory to check .*|Cannot initialize .*");
    for (long n = 1; n <= allocations; ++n) {
        const FaultRun run = RunWithFault("sumwise", arguments, "malloc:" + std::to_string(n));
        SCOPED_TRACE("allocation " + std::to_string(n) + ":\n" + run.result.output);
        const int code = run.result.exitCode;
        ASSERT_TRUE(code == 0 || code == 2 || code == 3 || code == ExpectedExitCode(E_OUTOFMEMORY));
        if (code == 0 || code == 3) {
            EXPECT_EQ(code == 0, run.result.output.empty()); // a failed check says why
        }
        std::istringstream lines(run.result.output);
        for (std::string text; std::getline(lines, text);) {
            EXPECT_TRUE(std::regex_match(text, line)) << text;
        }
    }
}

// The read way (4 MiB to 512 MiB) whose third 1 MiB read fails: an error line, never a digest.
TEST(SumwiseFailurePaths, FailedReadGivesAnErrorLine)
{
    SKIP_WITHOUT_INJECTOR();
    const TempDir root;
    const fs::path file = SparseFile(root, "large.bin", 5 << 20);
    const FaultRun run = RunWithFault("sumwise", {L"-q", L"-crc32c", file.wstring()}, "read:3:EIO");
    EXPECT_TRUE(run.injected);
    EXPECT_EQ(run.result.exitCode, 0);
    EXPECT_EQ(run.result.output, file.string() + ": (error 0x8007045d)\n");
}

// A file that the user may not read: Win32 error 5, E_ACCESSDENIED.
TEST(SumwiseFailurePaths, FileWithoutReadPermissionIsAccessDenied)
{
    SKIP_WITHOUT_INJECTOR();
    const TempDir root;
    const fs::path file = root.File("secret.log", 100);
    const FaultRun run = RunWithFault("sumwise", {L"-q", L"-crc32c", file.wstring()}, "openat:1:EACCES");
    EXPECT_TRUE(run.injected);
    EXPECT_EQ(run.result.output, file.string() + ": (error 0x80070005)\n");
}

} // namespace
