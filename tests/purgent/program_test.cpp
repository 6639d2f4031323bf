// The purgent program itself: usage, exit codes and a real cleanup, as a user runs it.
#include <gtest/gtest.h>

#include <filesystem>
#include <span>
#include <type_traits>

#include "platform/platform.h"
#include "support/scoped_environment.h"
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

// -t cleans the folder the TEMP variable names only when that is a usable folder below a root.
// Every run has a budget of 0s, so that whatever folder it chose, nothing is deleted.
TEST(PurgentProgram, TempFolderIsAUsableFolderAndNeverARoot)
{
    TempDir dir;
    const std::string refused = "Cannot retrieve the user's TEMP path.\n";
    const std::string fallback = "Cleaning /tmp/\n";
    const std::string own = "Cleaning " + dir.path().string() + testing_support::Separator() + "\n";
    const struct {
        std::string value;
        std::string firstLine; // up to its line feed
    } linuxCases[] = {
        {" ", fallback},
        {"relative/folder", fallback},
        {(dir.path() / "missing").string(), fallback},
        {"/", refused},
        {"//", refused},
        {dir.path().string() + "/../../../../../../../../..", refused},
        {(dir.path() / "to-root").string(), refused}, // a link to the root
        {dir.path().string(), own},
    }, windowsCases[] = {
        {"C:\\", refused},
        {"C:\\windows\\..", refused},
        {dir.path().string(), own},
    };
    if (!platform::kIsWindows) {
        std::filesystem::create_directory_symlink("/", dir.path() / "to-root");
    }
    using Row = std::remove_extent_t<decltype(linuxCases)>;
    const std::span<const Row> rows =
        platform::kIsWindows ? std::span<const Row>(windowsCases) : std::span<const Row>(linuxCases);
    for (const Row& row : rows) {
        const testing_support::ScopedEnvironment tmpdir("TMPDIR", row.value.c_str());
        const testing_support::ScopedEnvironment tmp("TMP", row.value.c_str());
        const testing_support::ScopedEnvironment temp("TEMP", row.value.c_str());
        const auto result = RunProgram("purgent", {L"-t", L"-d", L"0s"});
        EXPECT_EQ(result.exitCode, ExpectedExitCode(-1)) << row.value;
        EXPECT_EQ(result.output.substr(0, result.output.find('\n') + 1), row.firstLine) << row.value;
        if (row.firstLine == refused) {
            EXPECT_EQ(result.output, refused) << row.value;
        }
    }
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
