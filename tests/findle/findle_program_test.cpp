// findle end to end: the program run against trees made by the test, its exact output (the
// elapsed-time line aside) and its exit codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "common/buffer_format.h"
#include "common/number_format.h"
#include "platform/platform.h"
#include "support/test_support.h"
#include "narrow_text.h"

namespace fs = std::filesystem;
using testing_support::ExpectedExitCode;
using testing_support::ProgramResult;
using testing_support::Lines;
using testing_support::RunProgram;
using testing_support::TempDir;

namespace {

const std::string kUsage =
    "Findle - Scalable File Finder Utility - v1.00\n"
    "Copyright (c) Brel. All rights reserved.\n\n"
    "Options:\n\n"
    " -q\tDo not print out statistics at the end\n"
    " -?\tDisplay this message\n"
    "\r\nExamples:\n\n"
    " findle *.log\n" +
    std::string(platform::kIsWindows ? " findle C:\\Windows\\Temp\\*.log\n" : " findle /var/tmp/*.log\n");

ProgramResult Findle(const std::vector<std::wstring>& arguments, const fs::path& workingDir = {})
{
    return RunProgram("findle", arguments, workingDir);
}

// The output without its elapsed-time line, which changes from run to run.
std::string WithoutElapsed(const std::string& output)
{
    std::string kept;
    for (const auto& line : Lines(output)) {
        if (line.rfind("Elapsed time: ", 0) != 0) {
            kept += line + "\n";
        }
    }
    return kept;
}

// A count as the statistics print it, grouped by the shared formatter.
std::string Grouped(long long value)
{
    wchar_t digits[kFieldChars];
    wchar_t grouped[kFieldChars];
    FormatToBuffer(digits, kFieldChars, L"%lld", value);
    FormatGroupedNumber(grouped, static_cast<int>(kFieldChars), digits);
    return Narrow(std::wstring(grouped));
}

std::string MatchedLine(int matched, int considered, int folders)
{
    return "Matched " + Grouped(matched) + " file(s) out of " + Grouped(considered) + " considered in " +
           Grouped(folders) + " subfolder(s)\n";
}

std::set<std::string> MatchLines(const std::string& output, const fs::path& root)
{
    std::set<std::string> matches;
    for (const auto& line : Lines(output)) {
        if (line.rfind(Narrow(root), 0) == 0) {
            matches.insert(line);
        }
    }
    return matches;
}

TEST(FindleProgram, UsageAndExitCodes)
{
    const struct {
        std::vector<std::wstring> arguments;
        int exitCode;
    } cases[] = {
        {{}, -1}, {{L"-?"}, 0}, {{L"a", L"b"}, -1}, {{L"-q"}, -1}, {{L"-c", L"0", L"*"}, -1},
        {{L"-c", L"1025", L"*"}, -1}, {{L"-c", L"abc", L"*"}, -1}, {{L"-c"}, -1}, {{L"-c1025", L"*"}, -1},
    };
    for (const auto& c : cases) {
        const ProgramResult result = Findle(c.arguments);
        EXPECT_EQ(result.exitCode, ExpectedExitCode(c.exitCode)) << &c - cases;
        EXPECT_EQ(result.output, kUsage) << &c - cases;
    }
}

// The expected output of a search with matches: announcement, empty line, the matches in any
// order, empty line, statistics (the elapsed-time line left out).
void ExpectSearchOutput(const std::string& output, const std::string& announced, const std::set<std::string>& matches,
                        const std::string& statistics)
{
    const std::vector<std::string> lines = Lines(WithoutElapsed(output));
    ASSERT_GE(lines.size(), matches.size() + 3) << output;
    EXPECT_EQ(lines[0], "Searching " + announced);
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(std::set<std::string>(lines.begin() + 2, lines.begin() + 2 + static_cast<long>(matches.size())), matches);
    std::string rest;
    for (size_t i = matches.size() + 2; i < lines.size(); ++i) {
        rest += lines[i] + "\n";
    }
    EXPECT_EQ(rest, "\n" + statistics);
}

TEST(FindleProgram, DashXIsThePatternInTheCurrentFolder)
{
    TempDir tree;
    tree.File("-x", 5);
    tree.File("sub/-x", 6);
    tree.File("sub/x", 1);
    const ProgramResult result = Findle({L"-x"}, tree.path());
    EXPECT_EQ(result.exitCode, 0);
    const std::string sep = testing_support::Separator();
    const std::string root = Narrow(tree.path());
    ExpectSearchOutput(result.output, root + sep + "-x", {root + sep + "-x", root + sep + "sub" + sep + "-x"},
                       MatchedLine(2, 3, 2) + "Matching file(s) size: " + Grouped(11) + " bytes\n");
}

TEST(FindleProgram, FolderWithAndWithoutTrailingSeparator)
{
    TempDir tree;
    tree.File("a.log", 2);
    tree.File("b.txt", 3);
    const std::string sep = testing_support::Separator();
    const std::wstring folder = tree.path().wstring();
    const ProgramResult plain = Findle({folder});
    const ProgramResult trailing = Findle({folder + std::wstring(1, platform::kPathSeparator)});
    EXPECT_EQ(plain.exitCode, 0);
    EXPECT_EQ(trailing.exitCode, 0);
    EXPECT_EQ(Lines(plain.output)[0], "Searching " + Narrow(tree.path()) + sep + "*");
    EXPECT_EQ(WithoutElapsed(plain.output), WithoutElapsed(trailing.output));
    EXPECT_EQ(MatchLines(plain.output, tree.path()).size(), 2u);
}

TEST(FindleProgram, MissingFolderIsAnnouncedAndFailsWithPathNotFound)
{
    TempDir tree;
    const std::string sep = testing_support::Separator();
    const ProgramResult result = Findle({(tree.path() / "missing" / "*.log").wstring()});
    EXPECT_EQ(result.exitCode, ExpectedExitCode(static_cast<int32_t>(0x80070003)));
    EXPECT_EQ(WithoutElapsed(result.output),
              "Searching " + Narrow(tree.path()) + sep + "missing" + sep + "*.log\n" + MatchedLine(0, 0, 0));
}

TEST(FindleProgram, QuietPrintsOnlyTheMatchesAfterOneEmptyLine)
{
    TempDir tree;
    tree.File("one.log", 1);
    const ProgramResult result = Findle({L"-q", (tree.path() / "*.log").wstring()});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, "\n" + Narrow(tree.path() / "one.log") + "\n");

    const ProgramResult none = Findle({L"-q", (tree.path() / "*.none").wstring()});
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_EQ(none.output, "");
}

TEST(FindleProgram, NoMatchPrintsNoEmptyLineAndNoSizeLine)
{
    TempDir tree;
    tree.File("a.txt", 1);
    const ProgramResult result = Findle({(tree.path() / "*.log").wstring()});
    const std::vector<std::string> lines = Lines(result.output);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1] + "\n", MatchedLine(0, 1, 1));
    EXPECT_EQ(lines[2].rfind("Elapsed time: ", 0), 0u);
}

TEST(FindleProgram, SizeLineAt1023And1024Bytes)
{
    for (const int size : {1023, 1024}) {
        TempDir tree;
        tree.File("a.log", 1000);
        tree.File("sub/b.log", static_cast<size_t>(size - 1000));
        const ProgramResult result = Findle({(tree.path() / "*.log").wstring()});
        EXPECT_EQ(result.exitCode, 0);
        const std::vector<std::string> lines = Lines(result.output);
        ASSERT_EQ(lines.size(), 8u) << result.output;
        EXPECT_EQ(lines[1], "");                  // before the first match
        EXPECT_EQ(lines[4], "");                  // before the statistics
        EXPECT_EQ(lines[5] + "\n", MatchedLine(2, 2, 2));
        if (size == 1023) {
            EXPECT_EQ(lines[6], "Matching file(s) size: " + Grouped(1023) + " bytes");
        } else {
            wchar_t text[kFieldChars];
            StrFormatByteSizeW(1024, text, kFieldChars);
            EXPECT_EQ(lines[6], "Matching file(s) size: " + Narrow(std::wstring(text)) + " (" + Grouped(1024) + " bytes)");
        }
        EXPECT_EQ(std::count(result.output.begin(), result.output.end(), '\n'), 8);
    }
}

TEST(FindleProgram, ElapsedLineForm)
{
    TempDir tree;
    const ProgramResult result = Findle({tree.path().wstring()});
    // Counts are grouped; a zero count is "" under Wine, whose number formatting drops the 0
    // (a known Wine difference), and a search of an empty folder may well take 0 ms.
    static const std::regex kElapsedLine(R"(Elapsed time: [0-9,]*ms \([0-9]+\.[0-9]{3}s\) @ [0-9,]* items/sec)");
    const std::string last = Lines(result.output).back();
    EXPECT_TRUE(std::regex_match(last, kElapsedLine)) << last;
}

} // namespace
