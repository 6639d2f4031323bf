// findle where a call fails: every allocation of a search in turn, a folder listing, a match's
// size. The fault injector (support/fault_injection.c) makes the one call fail.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>

#include "platform/platform.h"
#include "support/fault_injection.h"
#include "support/test_support.h"

namespace {

using namespace testing_support;

void MakeTree(const TempDir& root)
{
    for (int i = 0; i < 5; ++i) {
        root.File("big/a" + std::to_string(i) + ".log", 2);
    }
}

// Each allocation fails in turn: the search ends normally, with E_OUTOFMEMORY, or (the search
// argument could not be resolved) with the usage; and it counts only the matches it printed.
TEST(FindleFailurePaths, EveryAllocationFailureEndsTheDocumentedWay)
{
    SKIP_WITHOUT_INJECTOR();
    const TempDir root;
    MakeTree(root);
    const std::vector<std::wstring> arguments{(root.path() / "*.log").wstring()};
    SweepAllocationFailures("findle", {(root.path() / "*.log").wstring()}, [&](const FaultRun& run) {
        const int code = run.result.exitCode;
        ASSERT_TRUE(code == 0 || code == ExpectedExitCode(E_OUTOFMEMORY) || code == ExpectedExitCode(-1));
        std::smatch match;
        if (std::regex_search(run.result.output, match, std::regex("Matched (\\d+) file"))) {
            long printed = 0;
            std::istringstream lines(run.result.output);
            for (std::string text; std::getline(lines, text);) {
                printed += text.rfind(root.path().string(), 0) == 0 ? 1 : 0;
            }
            EXPECT_EQ(std::stol(match[1]), printed);
        }
    });
}

// Reads of folders (one at a time): the root's, big's first, big's next fails. The matches read
// before are printed; the failure is the exit code, never a quiet end of the folder.
TEST(FindleFailurePaths, ListingFailurePartWayShowsInTheExitCode)
{
    SKIP_WITHOUT_INJECTOR();
    const TempDir root;
    MakeTree(root);
    const FaultRun run = RunWithFault("findle", {L"-c1", (root.path() / "*.log").wstring()}, "getdents64:3:EIO");
    EXPECT_TRUE(run.injected);
    EXPECT_EQ(run.result.exitCode, ExpectedExitCode(static_cast<int32_t>(0x8007045D))) << run.result.output;
    EXPECT_NE(run.result.output.find("Matched 5 file(s)"), std::string::npos);
}

// A match whose size cannot be read for lack of access is printed and counted, adds nothing to
// the total, and fails the run: E_ACCESSDENIED would read as success.
TEST(FindleFailurePaths, UnreadableSizeOfAMatchFailsTheRun)
{
    SKIP_WITHOUT_INJECTOR();
    const TempDir root;
    MakeTree(root);
    const FaultRun run = RunWithFault("findle", {L"-c1", (root.path() / "*.log").wstring()}, "fstatat:1:EACCES");
    EXPECT_TRUE(run.injected);
    EXPECT_EQ(run.result.exitCode, ExpectedExitCode(static_cast<int32_t>(0x80070780))) << run.result.output;
    EXPECT_NE(run.result.output.find("Matched 5 file(s)"), std::string::npos);
    EXPECT_NE(run.result.output.find("Matching file(s) size: 8 bytes\n"), std::string::npos);
}

} // namespace
