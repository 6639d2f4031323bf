// The purgent program itself: usage, exit codes and a real cleanup, as a user runs it.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/platform.h"
#include "support/test_support.h"

namespace {

using testing_support::ExpectedExitCode;
using testing_support::ReportLineEnd;
using testing_support::RunProgram;
using testing_support::TempDir;

TEST(PurgentProgram, UsageAndRejectedCommandLines)
{
    auto result = RunProgram("purgent", {L"-?"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output.rfind("Purgent - Scalable File Deletion Utility - v1.00\n", 0), 0u);
    EXPECT_NE(result.output.find(" -?\tDisplay this message\n"), std::string::npos);

    result = RunProgram("purgent", {});
    EXPECT_EQ(result.exitCode, ExpectedExitCode(-1));
    EXPECT_EQ(result.output.rfind("Purgent - Scalable", 0), 0u);

    result = RunProgram("purgent", {L"-k", L"-?"});
    EXPECT_EQ(result.exitCode, ExpectedExitCode(-1));
    EXPECT_EQ(result.output, "Unrecognized switch '-k'.\n");

    result = RunProgram("purgent", {L"x", L"-a", L"3dd"});
    EXPECT_EQ(result.exitCode, ExpectedExitCode(-1));
    EXPECT_EQ(result.output, "Unrecognized argument ('3dd') to the -a switch. Example: -a 3d (for 3 days of age or older)\n");

    result = RunProgram("purgent", {L".."});
    EXPECT_EQ(result.output, "The supplied path is invalid.\n");
}

TEST(PurgentProgram, QuietCleanupDeletesAndPrintsNothing)
{
    TempDir dir;
    const auto old = dir.File("sub/old.log", 10);
    const auto keep = dir.File("sub/keep.txt", 10);
    testing_support::SetAgeDays(old, 5);
    const auto result = RunProgram("purgent", {dir.path().wstring(), L"-s", L"-q", L"-n", L"*.log", L"-a", L"3d"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, "");
    EXPECT_FALSE(std::filesystem::exists(old));
    EXPECT_TRUE(std::filesystem::exists(keep));
}

TEST(PurgentProgram, RelativeDotPathReachesTheEngineAndIsRefused)
{
    TempDir dir;
    const std::wstring relative = std::wstring(L".") + platform::kPathSeparator + L"sub";
    const auto result = RunProgram("purgent", {relative, L"-q"}, dir.path());
    EXPECT_EQ(result.exitCode, ExpectedExitCode(-1));
    EXPECT_EQ(result.output, "**** Error 0x80070057" + ReportLineEnd());
}

// A young root whose only file is old: the file goes, the root stays, whatever the enumeration
// of "*.log" returns first.
TEST(PurgentProgram, YoungRootIsKeptWhenItsOnlyFileIsOld)
{
    TempDir dir;
    const std::filesystem::path root = dir.Folder("r");
    testing_support::SetAgeDays(dir.File("r/old.log", 10), 3);
    const auto result = RunProgram("purgent", {L"r", L"-r", L"-b", L"-a", L"1d", L"-n", L"*.log", L"-q"}, dir.path());
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_FALSE(std::filesystem::exists(root / "old.log"));
    EXPECT_TRUE(std::filesystem::exists(root));
}

} // namespace
