// sumwise -c end to end: lists written by sumwise itself and in the other tools' forms are checked
// in parallel; a changed, missing or unlisted file, a line that is no digest line and a list that
// cannot be read each show, and the exit code tells.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ExpectedExitCode;
using testing_support::Lines;
using testing_support::ProgramResult;
using testing_support::TempDir;

ProgramResult Sumwise(const TempDir& dir, const std::vector<std::wstring>& arguments)
{
    return testing_support::RunProgram("sumwise", arguments, dir.path());
}

void Write(const TempDir& dir, const std::string& name, const std::string& text)
{
    std::ofstream(dir.path() / name, std::ios::binary) << text;
}

// The lines of an output without its statistics lines, in any order.
std::set<std::string> Unordered(const std::string& output)
{
    std::set<std::string> lines;
    for (const std::string& line : Lines(output)) {
        if (!line.empty() && line.rfind("Hashed ", 0) != 0 && line.rfind("Checked ", 0) != 0) {
            lines.insert(line);
        }
    }
    return lines;
}

TEST(SumwiseCheck, OwnListsAndTheOtherToolsFormsRoundTrip)
{
    TempDir dir;
    Write(dir, "a.txt", "alpha\n");
    Write(dir, "name with blanks.bin", std::string(70000, 'x'));
    const std::vector<std::wstring> files = {L"a.txt", L"name with blanks.bin"};
    std::string mixed;
    for (const wchar_t* algorithm : {L"-md5", L"-sha1", L"-sha256", L"-sha384", L"-sha512"}) {
        std::vector<std::wstring> arguments = {algorithm};
        arguments.insert(arguments.end(), files.begin(), files.end());
        const std::string own = Sumwise(dir, arguments).output;
        Write(dir, "own.lst", own); // its statistics line and blank line included
        const ProgramResult checked = Sumwise(dir, {L"-c", L"own.lst"});
        EXPECT_EQ(checked.exitCode, 0) << checked.output;
        EXPECT_EQ(Unordered(checked.output), (std::set<std::string>{"a.txt: OK", "name with blanks.bin: OK"}));
        // Only the leading figures: Wine prints a grouped 0 as nothing.
        EXPECT_NE(checked.output.find("\nChecked 2 file(s): 2 OK, "), std::string::npos);
        // The same digests as binary-marked lines with CR LF ends, and as tagged lines.
        for (const std::string& line : Lines(own)) {
            const size_t blanks = line.find("  ");
            if (line.empty() || line.rfind("Hashed ", 0) == 0 || blanks == std::string::npos) {
                continue;
            }
            const size_t bits = blanks * 4;
            const std::string tag = bits == 128 ? "MD5" : bits == 160 ? "SHA1" : "SHA" + std::to_string(bits);
            mixed += line.substr(0, blanks) + " *" + line.substr(blanks + 2) + "\r\n";
            mixed += tag + " (" + line.substr(blanks + 2) + ") = " + line.substr(0, blanks) + "\n";
        }
    }
    Write(dir, "mixed.lst", mixed);
    const ProgramResult checked = Sumwise(dir, {L"-q", L"-c", L"mixed.lst"});
    EXPECT_EQ(checked.exitCode, 0);
    EXPECT_EQ(checked.output, "") << "-q prints only the FAILED and error lines";
}

TEST(SumwiseCheck, EveryKindOfMismatchIsShownAndFailsTheRun)
{
    TempDir dir;
    Write(dir, "same.txt", "unchanged");
    Write(dir, "changed.txt", "original");
    const std::string list = Sumwise(dir, {L"-sha256", L"same.txt", L"changed.txt"}).output;
    Write(dir, "changed.txt", "originaL");
    Write(dir, "list.lst", list + "not a digest line\n" + std::string(64, '0') + "  gone.txt\n");
    Write(dir, "empty.lst", "\n\n");
    const ProgramResult checked = Sumwise(dir, {L"-c", L"list.lst", L"missing.lst", L"empty.lst"});
    EXPECT_EQ(checked.exitCode, ExpectedExitCode(3));
    const std::set<std::string> lines = Unordered(checked.output);
    for (const char* expected : {"same.txt: OK", "changed.txt: FAILED", "gone.txt: (error 0x80070002)",
             "missing.lst: (error 0x80070002)", "list.lst: line 5 is not a digest line"}) {
        EXPECT_EQ(lines.count(expected), 1u) << expected << "\n" << checked.output;
    }
    EXPECT_NE(checked.output.find("\nChecked 3 file(s): 1 OK, 1 FAILED, 1 could not be read\n"), std::string::npos)
        << checked.output;
    // A list with no digest line fails the run even when nothing else does.
    EXPECT_EQ(Sumwise(dir, {L"-c", L"empty.lst"}).exitCode, ExpectedExitCode(3));
    // A checksum needs its switch; with it, the 8-digit lines are read.
    const std::string sums = Sumwise(dir, {L"-crc32c", L"same.txt"}).output;
    Write(dir, "sums.lst", sums);
    EXPECT_EQ(Sumwise(dir, {L"-c", L"sums.lst"}).exitCode, ExpectedExitCode(3));
    EXPECT_EQ(Sumwise(dir, {L"-crc32c", L"-c", L"sums.lst"}).exitCode, 0);
}

} // namespace

#if !defined(_WIN32)
// Under a pseudo-terminal (script), a run of more than a second shows its status line on standard
// error and erases it; the lines of standard output are the same as without a terminal.
TEST(SumwiseProgress, StatusLineOnATerminalOnly)
{
    if (std::system("script -qc true /dev/null >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "script(1) is not on this machine";
    }
    TempDir dir;
    std::ofstream(dir.path() / "big.bin").close();
    fs::resize_file(dir.path() / "big.bin", 2ULL << 30); // a sparse file: read fast, hashed for seconds
    const std::string program = std::string(ORVO_BIN_DIR) + "/sumwise";
    const std::string command = "cd '" + dir.path().string() + "' && script -qc '" + program +
        " -sha512 big.bin' /dev/null > tty.txt 2>&1 && " + program + " -sha512 big.bin > plain.txt 2> errors.txt";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream ttyFile(dir.path() / "tty.txt", std::ios::binary);
    const std::string tty((std::istreambuf_iterator<char>(ttyFile)), std::istreambuf_iterator<char>());
    EXPECT_NE(tty.find(" of 1 file(s), "), std::string::npos) << tty;
    EXPECT_NE(tty.find("%), "), std::string::npos) << "no percentage for a run of one file";
    // Erased before the digest line: blanks then a carriage return just before it.
    EXPECT_NE(tty.find(" \r"), std::string::npos);
    EXPECT_EQ(fs::file_size(dir.path() / "errors.txt"), 0u);
    std::ifstream plainFile(dir.path() / "plain.txt", std::ios::binary);
    std::string digestLine;
    std::getline(plainFile, digestLine);
    EXPECT_NE(tty.find(" \r" + digestLine), std::string::npos) << tty;
}
#endif
