// purgent where a call fails: every allocation of a run in turn, a delete, the clock, a folder
// listing. The fault injector (support/fault_injection.c) makes the one call fail.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "platform/platform.h"
#include "support/fault_injection.h"
#include "support/test_support.h"

namespace {

using namespace testing_support;
namespace fs = std::filesystem;

// The "Removed N file(s)" figure of a report, or -1 when the line is missing.
long RemovedFiles(const std::string& output)
{
    std::smatch match;
    return std::regex_search(output, match, std::regex("Removed (\\d+) file")) ? std::stol(match[1]) : -1;
}

// A folder "big" of `files` files of 2 bytes, alone in the root.
void MakeBigFolder(const TempDir& root, int files)
{
    for (int i = 0; i < files; ++i) {
        root.File("big/f" + std::to_string(i) + ".log", 2);
    }
}

// Each allocation of a small cleanup fails in turn: the run ends normally or with E_OUTOFMEMORY,
// never with a signal, and it deleted exactly the files its report counts.
TEST(PurgentFailurePaths, EveryAllocationFailureEndsTheDocumentedWay)
{
    SKIP_WITHOUT_INJECTOR();
    const TempDir root;
    const auto makeTree = [&] {
        for (int i = 0; i < 6; ++i) {
            root.File("a" + std::to_string(i) + ".log", 10);
            root.File("sub/b" + std::to_string(i) + ".log", 10);
        }
    };
    SweepAllocationFailures("purgent", {root.path().wstring(), L"-s", L"-e"}, [&](const FaultRun& run) {
        const int code = run.result.exitCode;
        // 14: the arguments themselves could not be made (E_OUTOFMEMORY, before the program ran).
        ASSERT_TRUE(code == 0 || code == ExpectedExitCode(-1) || code == ExpectedExitCode(E_OUTOFMEMORY));
        if (code == ExpectedExitCode(-1)) {
            EXPECT_NE(run.result.output.find("**** Error 0x8007000e"), std::string::npos);
        }
        const long removed = RemovedFiles(run.result.output);
        if (removed >= 0) { // the report's line itself may be what could not be printed
            EXPECT_EQ(static_cast<size_t>(removed), 12 - CountFiles(root.path()));
        }
    }, makeTree);
}

// A read-only file whose delete fails keeps its read-only mark, and its size is not freed.
TEST(PurgentFailurePaths, FailedDeleteRestoresReadOnlyAndFreesNothing)
{
    SKIP_WITHOUT_INJECTOR();
    const TempDir root;
    const fs::path file = root.File("locked.log", 5000);
    fs::permissions(file, fs::perms::owner_write, fs::perm_options::remove);
    const FaultRun run = RunWithFault("purgent", {root.path().wstring(), L"-o", L"-i"}, "unlinkat:1:EIO");
    EXPECT_TRUE(run.injected);
    EXPECT_EQ(run.result.exitCode, 0);
    EXPECT_NE(run.result.output.find("Removed 0 file(s) out of 1 considered in 1 subfolder(s)\n"), std::string::npos);
    EXPECT_EQ(run.result.output.find("Freed"), std::string::npos) << run.result.output;
    ASSERT_TRUE(fs::exists(file));
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::owner_write, fs::perms::none);
}

// The time budget is checked before every file, not only when a folder starts: the clock that
// steps an hour ahead from its eighth reading (the start, the folder's check, then one per file)
// stops the run within the folder, after five files.
TEST(PurgentFailurePaths, TimeBudgetStopsWithinAFolder)
{
    SKIP_WITHOUT_INJECTOR();
    const TempDir root;
    MakeBigFolder(root, 50);
    const FaultRun run = RunWithFault("purgent", {(root.path() / "big").wstring(), L"-d", L"1s"}, "clock:8");
    EXPECT_EQ(run.result.exitCode, ExpectedExitCode(-1));
    EXPECT_NE(run.result.output.find("**** Error 0x80070102" + ReportLineEnd()), std::string::npos) << run.result.output;
    EXPECT_NE(run.result.output.find("Removed 5 file(s) out of 5 considered in 1 subfolder(s)\n"), std::string::npos);
    EXPECT_EQ(CountFiles(root.path()), 45u);
}

// A listing that fails part-way is the folder's failure, never its end: without -j the call ends
// with that error; with -j (an access failure) the folder is passed over, and not removed.
TEST(PurgentFailurePaths, ListingFailurePartWayIsTheFoldersFailure)
{
    SKIP_WITHOUT_INJECTOR();
    {
        // Reads of folders: the root's, big's first (all 40 entries), big's next fails.
        const TempDir root;
        MakeBigFolder(root, 40);
        const FaultRun run = RunWithFault("purgent", {root.path().wstring(), L"-s", L"-e"}, "getdents64:3:EIO");
        EXPECT_EQ(run.result.exitCode, ExpectedExitCode(-1));
        EXPECT_NE(run.result.output.find("**** Error 0x8007045d"), std::string::npos) << run.result.output;
        EXPECT_EQ(RemovedFiles(run.result.output), 40);
        EXPECT_TRUE(fs::exists(root.path() / "big"));
    }
    for (const bool ignore : {false, true}) {
        // One fstatat per file entry (folders are read with statx): the twentieth file's fails.
        const TempDir root;
        MakeBigFolder(root, 40);
        std::vector<std::wstring> arguments{root.path().wstring(), L"-s", L"-e"};
        if (ignore) {
            arguments.push_back(L"-j");
        }
        const FaultRun run = RunWithFault("purgent", arguments, "fstatat:20:EACCES");
        SCOPED_TRACE(run.result.output);
        EXPECT_EQ(run.result.exitCode, ignore ? 0 : ExpectedExitCode(-1));
        EXPECT_EQ(run.result.output.find("**** Error 0x80070005") != std::string::npos, !ignore);
        EXPECT_NE(run.result.output.find("Removed 19 file(s) out of 19 considered in 2 subfolder(s)\n"), std::string::npos);
        EXPECT_EQ(CountFiles(root.path() / "big"), 21u);
    }
}

} // namespace
