// purgent -l against the real run: on random trees, ages, patterns and
// switches, the list a dry run prints is exactly what the same command line
// then removes, its statistics are the real run's, and the dry run itself
// changes nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::Lines;
using testing_support::RunProgram;
using testing_support::TempDir;

// Every file and folder of the tree, relative to its root ("." for the root
// itself).
std::set<std::string> Snapshot(const fs::path& root)
{
    std::set<std::string> entries;
    if (!fs::exists(root)) {
        return entries;
    }
    entries.insert(".");
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        entries.insert(entry.path().lexically_relative(root).generic_string());
    }
    return entries;
}

void MakeRandomTree(const TempDir& dir, std::mt19937& random)
{
    const char* const names[] = {"a.log", "b.txt", "c.dmp", "d.log", "e"};
    std::vector<fs::path> folders{dir.path()};
    for (int i = 0; i < 4; ++i) {
        const fs::path parent = folders[random() % folders.size()];
        folders.push_back(dir.Folder((parent / ("sub" + std::to_string(i))).lexically_relative(dir.path()).string()));
    }
    for (const fs::path& folder : folders) {
        for (const char* name : names) {
            if (random() % 2 == 0) {
                continue;
            }
            const fs::path file = dir.File((folder / name).lexically_relative(dir.path()).string(), random() % 3000);
            testing_support::SetAgeDays(file, static_cast<double>(random() % 10));
            if (random() % 4 == 0) {
                fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
            }
        }
    }
    // Deepest first, so that a folder's time is not changed by what is made in it
    // afterwards.
    for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) {
        testing_support::SetAgeDays(*folder, static_cast<double>(random() % 10));
    }
}

std::vector<std::wstring> RandomSwitches(std::mt19937& random)
{
    const std::vector<std::vector<std::wstring>> choices[] = {
        {{}, {L"-s"}},
        {{}, {L"-o"}},
        {{}, {L"-i"}},
        {{}, {L"-j"}},
        {{}, {L"-e"}, {L"-u"}, {L"-r"}, {L"-e", L"-r", L"-b"}, {L"-u", L"-b"}, {L"-x"}, {L"-z"}},
        {{}, {L"-n", L"*.log"}, {L"-n", L"*.log;*.dmp"}, {L"-n", L"e"}},
        {{}, {L"-a", L"3d"}, {L"-a", L"1w"}},
    };
    std::vector<std::wstring> switches;
    for (const auto& choice : choices) {
        const auto& picked = choice[random() % choice.size()];
        switches.insert(switches.end(), picked.begin(), picked.end());
    }
    return switches;
}

// A program's lines; the "\n\r" ending of purgent's announcement and error lines on Windows
// leaves a carriage return at the start of the next line, which is dropped here.
std::vector<std::string> OutputLines(std::string output)
{
    std::erase(output, '\r');
    return Lines(output);
}

// A dry run's statistics in the words of a real run, without the elapsed-time
// line.
std::string AsRunWords(std::vector<std::string> lines)
{
    std::string text;
    for (std::string& line : lines) {
        for (const auto& [dry, real] : {std::pair<std::string, std::string>{"Would remove ", "Removed "},
                 {"Would free ", "Freed "}, {" and remove ", " and removed "}}) {
            if (const size_t at = line.find(dry); at != std::string::npos) {
                line.replace(at, dry.size(), real);
            }
        }
        if (line.rfind("Elapsed time:", 0) != 0) {
            text += line + "\n";
        }
    }
    return text;
}

TEST(PurgentDryRun, ListsExactlyWhatTheRealRunRemoves)
{
    std::mt19937 random(20261209);
    for (int round = 0; round < 16; ++round) {
        TempDir dir;
        MakeRandomTree(dir, random);
        std::vector<std::wstring> arguments{dir.path().wstring()};
        const std::vector<std::wstring> switches = RandomSwitches(random);
        arguments.insert(arguments.end(), switches.begin(), switches.end());
        std::wstring described;
        for (const auto& s : switches) {
            described += L" " + s;
        }
        SCOPED_TRACE(testing::PrintToString(described));

        const std::set<std::string> before = Snapshot(dir.path());
        arguments.push_back(L"-l");
        const auto dry = RunProgram("purgent", arguments);
        arguments.pop_back();
        ASSERT_EQ(Snapshot(dir.path()), before) << "the dry run changed the tree";
        const auto real = RunProgram("purgent", arguments);
        ASSERT_EQ(dry.exitCode, real.exitCode) << dry.output << real.output;

        const std::set<std::string> after = Snapshot(dir.path());
        std::set<std::string> removed;
        for (const std::string& entry : before) {
            if (after.count(entry) == 0) {
                removed.insert(entry);
            }
        }
        const std::vector<std::string> dryLines = OutputLines(dry.output);
        ASSERT_GE(dryLines.size(), 2u) << dry.output;
        EXPECT_EQ(dryLines[0].rfind("Dry run of ", 0), 0u) << dry.output;
        std::set<std::string> listed;
        size_t line = 1;
        for (; line < dryLines.size() && dryLines[line].rfind("Would ", 0) != 0 &&
             dryLines[line].rfind("**** Error", 0) != 0;
             ++line) {
            listed.insert(fs::path(dryLines[line]).lexically_relative(dir.path()).generic_string());
        }
        EXPECT_EQ(listed, removed) << dry.output;
        const std::vector<std::string> realLines = OutputLines(real.output);
        EXPECT_EQ(AsRunWords({dryLines.begin() + static_cast<std::ptrdiff_t>(line), dryLines.end()}),
            AsRunWords({realLines.begin() + 1, realLines.end()}))
            << dry.output << real.output;
    }
}

TEST(PurgentDryRun, RefusesWhatTheRealRunRefuses)
{
    TempDir dir;
    for (const std::vector<std::wstring>& arguments : {std::vector<std::wstring>{L"..", L"-l"},
             {dir.path().wstring(), L"-e", L"-u", L"-l"}, {(dir.path() / "missing").wstring(), L"-l"}}) {
        std::vector<std::wstring> withoutDryRun(arguments.begin(), arguments.end() - 1);
        const auto dry = RunProgram("purgent", arguments);
        const auto real = RunProgram("purgent", withoutDryRun);
        EXPECT_EQ(dry.exitCode, real.exitCode);
        const auto lines = OutputLines(dry.output);
        const auto realLines = OutputLines(real.output);
        // The announcement differs; the rest (error line and statistics) is the
        // same.
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(AsRunWords({lines.begin() + (lines.size() > 1 ? 1 : 0), lines.end()}),
            AsRunWords({realLines.begin() + (realLines.size() > 1 ? 1 : 0), realLines.end()}));
    }
}

} // namespace
