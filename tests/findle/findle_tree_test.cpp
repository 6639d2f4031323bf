// findle over larger and harder trees: the same matches at every concurrency as the system's
// own finder reports, a folder the user may not read, folder links and link loops.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/test_support.h"
#include "narrow_text.h"

#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using testing_support::ProgramResult;
using testing_support::RunProgram;
using testing_support::TempDir;

namespace {

std::set<std::string> MatchLines(const std::string& output, const fs::path& root)
{
    std::set<std::string> matches;
    std::istringstream stream(output);
    for (std::string line; std::getline(stream, line);) {
        if (line.rfind(Narrow(root), 0) == 0) {
            matches.insert(line);
        }
    }
    return matches;
}

size_t LineCount(const std::string& output)
{
    return static_cast<size_t>(std::count(output.begin(), output.end(), '\n'));
}

// What the system's own tools list for "*.log" (letter case ignored) below `root`.
std::set<std::string> SystemListing(const fs::path& root)
{
    std::set<std::string> listed;
#if defined(_WIN32)
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        std::wstring name = entry.path().filename().wstring();
        if (entry.is_regular_file() && name.size() >= 4 && _wcsicmp(name.c_str() + name.size() - 4, L".log") == 0) {
            listed.insert(Narrow(entry.path()));
        }
    }
#else
    const std::string command = "find '" + root.string() + "' -type f -iname '*.log'";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        ADD_FAILURE() << "cannot run find";
        return listed;
    }
    char line[4096];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::string text(line);
        if (!text.empty() && text.back() == '\n') {
            text.pop_back();
        }
        listed.insert(text);
    }
    pclose(pipe);
#endif
    return listed;
}

TEST(FindleTree, SameMatchesAtEveryConcurrencyAsTheSystemFinds)
{
    TempDir tree;
    int logs = 0;
    for (int a = 0; a < 8; ++a) {
        for (int b = 0; b < 5; ++b) {
            const std::string folder = "p" + std::to_string(a) + "/q" + std::to_string(b) + ".log/";
            tree.File(folder + "r" + std::to_string(b) + ".log", 1);
            tree.File(folder + "S" + std::to_string(b) + ".LOG", 2);
            tree.File(folder + "t.log.txt", 3);
            logs += 2;
        }
        tree.Folder("p" + std::to_string(a) + "/empty");
    }
    const std::set<std::string> expected = SystemListing(tree.path());
    ASSERT_EQ(expected.size(), static_cast<size_t>(logs));
    const std::wstring search = (tree.path() / "*.log").wstring();
    const std::vector<std::vector<std::wstring>> commandLines = {
        {L"-c1", search}, {L"-c", L"2", search}, {search}};
    for (const auto& arguments : commandLines) {
        const ProgramResult result = RunProgram("findle", arguments);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(MatchLines(result.output, tree.path()), expected) << arguments.size();
        // Every match once: announcement, empty line, matches, empty line, three statistics lines.
        EXPECT_EQ(LineCount(result.output), expected.size() + 6) << result.output;
    }
}

// Runs findle as an unprivileged user: the superuser reads every folder, so a denial needs one.
ProgramResult RunUnprivileged(const std::vector<std::wstring>& arguments)
{
#if defined(_WIN32)
    return RunProgram("findle", arguments);
#else
    if (geteuid() != 0) {
        return RunProgram("findle", arguments);
    }
    // The build folder may lie below one the unprivileged user cannot pass (a clone in the
    // superuser's home), so it runs a copy from a temporary folder everyone may enter.
    const TempDir programs;
    const fs::path program = programs.path() / "findle";
    fs::copy_file(fs::path(ORVO_BIN_DIR) / "findle", program);
    const fs::perms everyoneRuns = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                   fs::perms::others_read | fs::perms::others_exec;
    fs::permissions(programs.path(), everyoneRuns);
    fs::permissions(program, everyoneRuns);
    std::string command = "setpriv --reuid=65534 --regid=65534 --clear-groups '" + program.string() + "'";
    for (const auto& argument : arguments) {
        command += " '" + Narrow(argument) + "'";
    }
    ProgramResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        result.exitCode = -1;
        return result;
    }
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        result.output.append(buffer, got);
    }
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
#endif
}

TEST(FindleTree, UnreadableSubfolderIsLeftOutAndTheRunSucceeds)
{
    TempDir tree;
    tree.File("a/one.log", 1);
    tree.File("b/two.log", 1);
    tree.File("denied/hidden.log", 1);
    tree.File("denied/deeper/more.log", 1);
    const fs::path denied = tree.path() / "denied";
    testing_support::GiveTreeToUnprivilegedUser(tree.path());
    fs::permissions(denied, fs::perms::none);
    bool readable = false;
#if defined(_WIN32)
    std::error_code error;
    fs::directory_iterator probe(denied, error);
    readable = !error; // Wine run by the superuser reads it anyway
#endif
    if (readable) {
        fs::permissions(denied, fs::perms::owner_all);
        GTEST_SKIP() << "the folder stays readable for this user: no real denial possible";
    }
    for (const std::wstring limit : {L"1", L"1024"}) {
        const ProgramResult result = RunUnprivileged({L"-c", limit, (tree.path() / "*.log").wstring()});
        EXPECT_EQ(result.exitCode, 0) << result.output;
        EXPECT_EQ(MatchLines(result.output, tree.path()),
                  (std::set<std::string>{Narrow(tree.path() / "a" / "one.log"), Narrow(tree.path() / "b" / "two.log")}));
        // The root, a and b: the denied folder is not counted.
        EXPECT_NE(result.output.find("Matched 2 file(s) out of 2 considered in 3 subfolder(s)\n"), std::string::npos)
            << result.output;
    }
    fs::permissions(denied, fs::perms::owner_all);
}

#if !defined(_WIN32)
TEST(FindleTree, FolderLinksAreEntered)
{
    TempDir tree;
    tree.File("real/g.log", 1);
    fs::create_directory_symlink(tree.path() / "real", tree.path() / "link");
    for (const std::wstring limit : {L"1", L"1024"}) {
        const ProgramResult result = RunProgram("findle", {L"-c", limit, (tree.path() / "*.log").wstring()});
        EXPECT_EQ(result.exitCode, 0) << result.output;
        EXPECT_EQ(MatchLines(result.output, tree.path()),
                  (std::set<std::string>{Narrow(tree.path() / "real" / "g.log"), Narrow(tree.path() / "link" / "g.log")}))
            << result.output;
    }
}

TEST(FindleTree, LinkLoopEndsInAnOrderlyWay)
{
    TempDir tree;
    tree.File("a/f.log", 1);
    fs::create_directory_symlink("..", tree.path() / "a" / "loop"); // a/loop/a/loop/...
    const std::set<int> orderlyEnds = {
        0x81, // 0x80070781: too many links to resolve
        0x7A, // 0x8007007A: the path no longer fits
        0xCE, // 0x800700CE: file name too long
        0xE9, // 0x800703E9: in-place nesting too deep
    };
    for (const std::wstring limit : {L"1", L"2", L"1024"}) {
        const ProgramResult result = RunProgram("findle", {L"-q", L"-c", limit, (tree.path() / "*.log").wstring()});
        EXPECT_EQ(orderlyEnds.count(result.exitCode), 1u) << result.exitCode;
        EXPECT_EQ(result.exitCode, 0x81) << "the loop status, 0x80070781";
        const std::set<std::string> matches = MatchLines(result.output, tree.path());
        EXPECT_EQ(matches.count(Narrow(tree.path() / "a" / "f.log")), 1u);
        // The link leads back to the starting folder, so it is not entered: each file is found once.
        EXPECT_EQ(matches.size(), 1u);
        EXPECT_EQ(LineCount(result.output), 2u) << result.output;
    }
}
#endif

// A folder with 20 files and two links to itself: the run ends at once with the loop status, and
// each file is found once in the one folder visited, at every limit.
TEST(FindleTree, SelfLinksEndWithTheLoopStatusAndEveryFileOnce)
{
    TempDir tree;
    std::set<std::string> files;
    for (int i = 0; i < 20; ++i) {
        files.insert(Narrow(tree.File("f" + std::to_string(i) + ".log", 1)));
    }
    for (const char* link : {"l1", "l2"}) {
        const std::string unavailable = testing_support::MakeFolderLink(tree.path() / link, ".");
        if (!unavailable.empty()) {
            GTEST_SKIP() << unavailable;
        }
    }
    const std::wstring search = (tree.path() / "*.log").wstring();
    for (const auto& arguments : std::vector<std::vector<std::wstring>>{{L"-c1", search}, {L"-c", L"2", search}, {search}}) {
        const ProgramResult result = RunProgram("findle", arguments);
        EXPECT_EQ(result.exitCode, testing_support::ExpectedExitCode(static_cast<int32_t>(0x80070781)));
        EXPECT_EQ(MatchLines(result.output, tree.path()), files);
        EXPECT_EQ(LineCount(result.output), files.size() + 6) << result.output;
        EXPECT_NE(result.output.find("Matched 20 file(s) out of 20 considered in 1 subfolder(s)\n"), std::string::npos)
            << result.output;
    }
}

} // namespace
