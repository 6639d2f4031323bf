// sumwise where a call fails: every allocation of a run in turn, a read of the 1 MiB read way,
// an open refused for lack of permission. The fault injector (support/fault_injection.c) makes
// the one call fail.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "common/console.h"
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

// Runs sumwise with each of its allocations failing in turn: the exit code is one of
// `exitCodes`, out-of-memory at start-up (the message then goes to standard error), the
// unusable digest service (with its line) or a line that could not be made; every
// line printed matches `line`, and a run that ends with 0 printed all `completeLines`.
void ExpectEveryAllocationFailureHandled(const std::vector<std::wstring>& arguments, const std::regex& line,
                                         std::initializer_list<int> exitCodes, size_t completeLines)
{
    SweepAllocationFailures("sumwise", arguments, [&](const FaultRun& run) {
        const int code = run.result.exitCode;
        if (code == 2) {
            EXPECT_EQ(run.result.output, "Cannot initialize cryptographic context.\n");
            return;
        }
        ASSERT_TRUE(code == ExpectedExitCode(E_OUTOFMEMORY) || code == ExpectedExitCode(kExitOutputLost) ||
                    std::count(exitCodes.begin(), exitCodes.end(), code));
        std::istringstream lines(run.result.output);
        size_t printed = 0;
        for (std::string text; std::getline(lines, text); ++printed) {
            EXPECT_TRUE(std::regex_match(text, line)) << text;
        }
        if (code == 0) {
            EXPECT_EQ(printed, completeLines);
        }
    });
}

// Each allocation fails in turn (CRC-32C, which needs no digest provider): every line is a
// checksum or the file's error line with a documented code (out of memory, a file that cannot be
// mapped, the missing file), and the run goes on.
TEST(SumwiseFailurePaths, EveryAllocationFailureEndsTheDocumentedWay)
{
    SKIP_WITHOUT_INJECTOR();
    const TempDir root;
    ExpectEveryAllocationFailureHandled(
        {L"-q", L"-crc32c", root.File("small.log", 100).wstring(), SparseFile(root, "large.bin", 5 << 20).wstring(),
            (root.path() / "missing.log").wstring()},
        std::regex("([0-9a-f]{8}  .*|.*: \\(error 0x(8007000e|800703ee|80070002)\\))"), {0}, 3);
}

// The same for a check: a file that matches is never FAILED (with -q only the FAILED and error
// lines are printed), and a check that cannot finish ends with 3.
TEST(SumwiseFailurePaths, EveryAllocationFailureOfACheck)
{
    SKIP_WITHOUT_INJECTOR();
    const TempDir root;
    const std::string files[] = {root.File("small.log", 100).string(), SparseFile(root, "large.bin", 5 << 20).string()};
    std::ofstream(root.path() / "list.lst")
        << RunProgram("sumwise", {L"-crc32c", fs::path(files[0]).wstring(), fs::path(files[1]).wstring()}).output;
    ExpectEveryAllocationFailureHandled({L"-q", L"-crc32c", L"-c", (root.path() / "list.lst").wstring()},
        std::regex(".*: \\(error 0x(8007000e|800703ee)\\)|Not enough memory to check .*"), {0, 3}, 0);
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

#if !defined(_WIN32)
// Output to a full disk (/dev/full): the result never reached its file, so neither sumwise nor
// findle may end as a success.
TEST(SumwiseFailurePaths, LinuxOutputToAFullDiskFailsTheRun)
{
    const TempDir root;
    const std::string file = root.File("a.log", 100).string();
    for (const std::string& command : {"sumwise -q '" + file + "'", "findle -q '" + file + "'"}) {
        const int status = std::system((std::string(ORVO_BIN_DIR) + "/" + command + " >/dev/full 2>/dev/null").c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == (kExitOutputLost & 0xFF)) << command << ": " << status;
    }
}
#endif

} // namespace
