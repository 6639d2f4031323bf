// sumwise end to end: the program run on files made by the test, its exact lines (the statistics
// line's timing aside) and exit codes, and, on Linux, the special files and names that a shell
// can hand it, files swapped for other objects between the lookup and the open, and the digests
// of other tools on the machine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include "platform/platform.h"
#include "support/scoped_environment.h"
#include "support/test_support.h"
#include "../findle/narrow_text.h"

namespace fs = std::filesystem;
using testing_support::ExpectedExitCode;
using testing_support::Lines;
using testing_support::ProgramResult;
using testing_support::TempDir;

namespace {

ProgramResult Sumwise(const std::vector<std::wstring>& arguments)
{
    return testing_support::RunProgram("sumwise", arguments);
}

std::wstring Wide(const fs::path& path)
{
    return path.wstring();
}

fs::path NineDigits(const TempDir& dir)
{
    const fs::path file = dir.path() / "nine.txt";
    std::ofstream(file, std::ios::binary) << "123456789";
    return file;
}

TEST(SumwiseProgram, UsageAndExitCodes)
{
    const struct {
        std::vector<std::wstring> arguments;
        int exitCode;
    } cases[] = {{{}, 1}, {{L"-?"}, 0}, {{L"-md5"}, 1}, {{L"-q", L"-x", L"a"}, 1}, {{L"-"}, 1}};
    for (const auto& c : cases) {
        const ProgramResult result = Sumwise(c.arguments);
        EXPECT_EQ(result.exitCode, ExpectedExitCode(c.exitCode)) << &c - cases;
        EXPECT_EQ(Lines(result.output).at(0), "Sumwise - Scalable File Hashing Utility - v1.00") << &c - cases;
    }
}

TEST(SumwiseProgram, ChecksumLinesOfTheNineDigits)
{
    TempDir dir;
    const std::string path = Narrow(NineDigits(dir));
    const struct {
        const wchar_t* algorithm;
        const char* line;
    } cases[] = {{L"-crc32c", "e3069283"}, {L"-zipcrc", "cbf43926"}, {L"-ADLER", "091e01de"},
                 {L"-md5", "25f9e794323b453885f5181f1b624d0b"}};
    for (const auto& c : cases) {
        const ProgramResult result = Sumwise({L"-q", c.algorithm, Wide(dir.path() / "nine.txt")});
        EXPECT_EQ(result.output, std::string(c.line) + "  " + path + "\n") << c.line;
        EXPECT_EQ(result.exitCode, 0);
    }
}

TEST(SumwiseProgram, ErrorLinesDirectoriesAndBothStatisticsForms)
{
    TempDir dir;
    dir.File("small", 1023);
    dir.File("kilo", 1024);
    dir.File("empty", 0);
    dir.Folder("folder");
    const auto run = [&](std::vector<std::wstring> names) {
        std::vector<std::wstring> arguments = {L"-crc32c"};
        for (auto& name : names) {
            arguments.push_back(Wide(dir.path() / name));
        }
        return Sumwise(arguments);
    };
    const std::regex statistics1023(
        "\nHashed 1 file\\(s\\) totaling 1,023 byte\\(s\\) in [0-9,]*ms \\([0-9]+\\.[0-9]{3}s\\) @ .+/s \\(CRC32C\\)\n$");
    const ProgramResult small = run({L"small", L"folder", L"missing", L"empty"});
    EXPECT_EQ(small.exitCode, 0);
    EXPECT_TRUE(std::regex_search(small.output, statistics1023)) << small.output;
    const std::vector<std::string> lines = Lines(small.output);
    const std::set<std::string> perFile(lines.begin(), lines.begin() + 3);
    EXPECT_EQ(perFile, (std::set<std::string>{Narrow(dir.path() / "missing") + ": (error 0x80070002)",
                                                Narrow(dir.path() / "empty") + ": (error 0x800703ee)",
                                                "3a236d53  " + Narrow(dir.path() / "small")})); // CRC-32C of 1,023 "x"

    const ProgramResult kilo = run({L"kilo"});
    EXPECT_TRUE(std::regex_search(kilo.output, std::regex("totaling 1\\.00 KB \\(1,024 bytes\\) in "))) << kilo.output;

    // Nothing hashed: no statistics line.
    EXPECT_EQ(run({L"folder"}).output, "");
    EXPECT_EQ(run({L"empty"}).output, Narrow(dir.path() / "empty") + ": (error 0x800703ee)\n");
}

// Folders among the files, and as the last filespec, are passed over wherever they stand, also
// when written in a form that a lookup of a name cannot take (a root, a trailing separator).
TEST(SumwiseProgram, MoreFilesThanSlotsEachGetTheirLine)
{
    TempDir dir;
    std::vector<std::wstring> arguments = {L"-q", L"-sha1"};
    std::set<std::string> expected;
    for (int i = 0; i < 100; ++i) {
        const fs::path file = dir.File("f" + std::to_string(i), 10);
        arguments.push_back(Wide(file));
        expected.insert("ff9ee043d85595eb255c05dfe32ece02a53efbb2  " + Narrow(file)); // SHA-1 of "xxxxxxxxxx"
        if (i % 7 == 0 || i == 99) {
            const std::wstring ending = i % 14 == 0 ? std::wstring(1, platform::kPathSeparator) : L"";
            arguments.push_back(Wide(dir.Folder("d" + std::to_string(i))) + ending);
        }
    }
    arguments.insert(arguments.begin() + 50, dir.path().root_path().wstring());
    const std::vector<std::string> lines = Lines(Sumwise(arguments).output);
    EXPECT_EQ(std::set<std::string>(lines.begin(), lines.end()), expected);
    EXPECT_EQ(lines.size(), 100u);
}

#if !defined(_WIN32)
// Exact name bytes that a shell may hand over: not valid UTF-8, or a path of 30,000 characters.
TEST(SumwiseProgram, LinuxSpecialFilesOddNamesAndLongPaths)
{
    TempDir dir(true);
    const fs::path fifo = dir.path() / "fifo";
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    const fs::path odd = dir.path() / std::string("caf\xe9\xff.bin");
    std::ofstream(odd) << "123456789";
    // The chain is built and removed relative to descriptors: its path is far beyond PATH_MAX.
    const std::string level(200, 'd');
    std::vector<int> folders = {open(dir.path().c_str(), O_RDONLY | O_DIRECTORY)};
    fs::path deep = dir.path();
    while (deep.native().size() < 30000) {
        ASSERT_EQ(0, mkdirat(folders.back(), level.c_str(), 0700));
        folders.push_back(openat(folders.back(), level.c_str(), O_RDONLY | O_DIRECTORY));
        deep /= level;
    }
    const int nine = openat(folders.back(), "nine", O_WRONLY | O_CREAT, 0600);
    ASSERT_EQ(9, write(nine, "123456789", 9));
    close(nine);
    const auto wide = [](const fs::path& path) { return platform::WideFromBytes(path.native()); };
    // Eighteen times the deep path: the arguments then take more than 2 MiB as wide text.
    std::vector<std::wstring> arguments = {L"-q", L"-zipcrc", wide(fifo), L"/dev/null", wide(odd)};
    arguments.insert(arguments.end(), 18, wide(deep / "nine"));
    const ProgramResult result = Sumwise(arguments);
    const std::vector<std::string> lines = Lines(result.output);
    EXPECT_EQ(21u, lines.size());
    EXPECT_EQ(std::set<std::string>(lines.begin(), lines.end()),
              (std::set<std::string>{fifo.native() + ": (error 0x800703ee)", "/dev/null: (error 0x800703ee)",
                                     "cbf43926  " + odd.native(), "cbf43926  " + (deep / "nine").native()}));
    unlinkat(folders.back(), "nine", 0);
    for (size_t i = folders.size() - 1; i > 0; --i) {
        close(folders[i]);
        unlinkat(folders[i - 1], level.c_str(), AT_REMOVEDIR);
    }
    close(folders[0]);
}

// One size in each reading way: mapped, 1 MiB reads, overlapped reads (sparse files).
constexpr size_t kSizeOfEachWay[] = {1000, 4u << 20, 512u << 20};

// The object that takes a file's place: made at `path`, it is renamed over the file just before
// sumwise opens it. Each gives one error line, whatever the way: a FIFO and a device are no
// regular files, a folder and a socket cannot be opened as files, and /proc/self/mem is a regular
// file whose reads fail (EIO at address 0), which must never read as the end of the file.
struct Replacement {
    const char* name;
    void (*make)(const fs::path& path);
    const char* errors[3]; // in the order of kSizeOfEachWay
};

void MakeSocket(const fs::path& path)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.native().size(), sizeof address.sun_path);
    path.native().copy(address.sun_path, path.native().size());
    ASSERT_EQ(0, bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address));
    close(fd);
}

const Replacement kReplacements[] = {
    {"fifo", [](const fs::path& path) { ASSERT_EQ(0, mkfifo(path.c_str(), 0600)); },
     {"0x800703ee", "0x800703ee", "0x800703ee"}},
    {"link to /dev/zero", [](const fs::path& path) { fs::create_symlink("/dev/zero", path); },
     {"0x800703ee", "0x800703ee", "0x800703ee"}},
    {"folder", [](const fs::path& path) { fs::create_directory(path); }, {"0x80070005", "0x80070005", "0x80070005"}},
    {"socket", MakeSocket, {"0x8007001f", "0x8007001f", "0x8007001f"}},
    {"link to /proc/self/mem", [](const fs::path& path) { fs::create_symlink("/proc/self/mem", path); },
     {"0x800703ee", "0x8007045d", "0x800703ee"}},
};

TEST(SumwiseProgram, LinuxFileSwappedBeforeTheOpenIsAnErrorInEveryWay)
{
    TempDir dir(true);
    // The swapping library is preloaded ahead of the sanitizer runtime of a sanitized build.
    const char* const options = std::getenv("ASAN_OPTIONS");
    const std::string asanOptions = (options != nullptr ? options + std::string(":") : "") + "verify_asan_link_order=0";
    const testing_support::ScopedEnvironment asan("ASAN_OPTIONS", asanOptions.c_str());
    const testing_support::ScopedEnvironment preload("LD_PRELOAD", SWAP_ON_OPEN_LIBRARY);
    for (size_t way = 0; way < std::size(kSizeOfEachWay); ++way) {
        for (const Replacement& replacement : kReplacements) {
            const fs::path folder = dir.Folder(std::to_string(way) + "-" + std::to_string(&replacement - kReplacements));
            const fs::path file = folder / "file";
            const fs::path other = folder / "other";
            std::ofstream(file).close();
            fs::resize_file(file, kSizeOfEachWay[way]); // sparse
            replacement.make(other);
            const testing_support::ScopedEnvironment target("SWAP_ON_OPEN_PATH", file.c_str());
            const testing_support::ScopedEnvironment with("SWAP_ON_OPEN_WITH", other.c_str());
            const ProgramResult result = Sumwise({L"-q", L"-crc32c", Wide(file)});
            const std::string where = std::to_string(kSizeOfEachWay[way]) + " bytes, " + replacement.name;
            EXPECT_EQ(result.output, file.native() + ": (error " + replacement.errors[way] + ")\n") << where;
            EXPECT_EQ(result.exitCode, 0) << where;
            EXPECT_FALSE(fs::exists(fs::symlink_status(other))) << where << ": no swap was made";
        }
    }
}

// '*' and '?' are ordinary characters of Linux names: each name is hashed as itself, never as the
// first entry its pattern would match (".", for "?"). The names that a pattern would also match
// are made last, which puts them first in a tmpfs folder's order, and are smaller, so that a
// wrong lookup changes the way or the length read. Each digest equals its hard link's.
TEST(SumwiseProgram, LinuxNamesWithWildcardCharactersAreLiteralInEveryWay)
{
    TempDir dir(true);
    const char* const names[] = {"a?", "?", "c*", "[x]"};
    const char* const others[] = {"a0", "a1", "cc", "cd", "x", "z"};
    for (const size_t size : kSizeOfEachWay) {
        const fs::path folder = dir.Folder(std::to_string(size));
        std::vector<std::wstring> arguments = {L"-q", L"-crc32c"};
        for (size_t k = 0; k < std::size(names); ++k) {
            const fs::path file = folder / names[k];
            std::ofstream(file) << names[k];
            fs::resize_file(file, size + k); // sparse, and of its own length
            fs::create_hard_link(file, folder / ("plain" + std::to_string(k)));
            arguments.push_back(Wide(file));
            arguments.push_back(Wide(folder / ("plain" + std::to_string(k))));
        }
        for (const char* other : others) {
            std::ofstream(folder / other) << "y";
        }
        const ProgramResult result = Sumwise(arguments);
        std::map<std::string, std::string> digests;
        for (const std::string& line : Lines(result.output)) {
            const size_t blanks = line.find("  ");
            if (blanks == std::string::npos) {
                ADD_FAILURE() << line;
                continue;
            }
            digests[fs::path(line.substr(blanks + 2)).filename()] = line.substr(0, blanks);
        }
        EXPECT_EQ(Lines(result.output).size(), 2 * std::size(names)) << "arguments expanded again:\n" << result.output;
        for (size_t k = 0; k < std::size(names); ++k) {
            EXPECT_EQ(digests[names[k]], digests["plain" + std::to_string(k)]) << size << " " << names[k];
        }
    }
}

// Random files of several sizes against python's hashlib and zlib.
TEST(SumwiseProgram, LinuxDigestsEqualOtherImplementations)
{
    if (std::system("python3 -c 'import hashlib, zlib' 2>/dev/null") != 0) {
        GTEST_SKIP() << "python3 with hashlib and zlib is not on this machine";
    }
    TempDir dir(true);
    std::vector<std::wstring> files;
    for (const size_t size : {1u, 4095u, 65536u, 1u << 22, (1u << 22) + 1, 9u << 20}) {
        const fs::path file = dir.path() / ("r" + std::to_string(size));
        std::ifstream random("/dev/urandom", std::ios::binary);
        std::vector<char> bytes(size);
        random.read(bytes.data(), static_cast<std::streamsize>(size));
        std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
        files.push_back(Wide(file));
    }
    const struct {
        const wchar_t* sumwise;
        const char* python; // an expression of the file's bytes `d`
    } cases[] = {
        {L"-md5", "hashlib.md5(d).hexdigest()"},        {L"-sha1", "hashlib.sha1(d).hexdigest()"},
        {L"-sha256", "hashlib.sha256(d).hexdigest()"},  {L"-sha384", "hashlib.sha384(d).hexdigest()"},
        {L"-sha512", "hashlib.sha512(d).hexdigest()"},  {L"-zipcrc", "'%08x' % zlib.crc32(d)"},
        {L"-adler", "'%08x' % zlib.adler32(d)"},
    };
    for (const auto& c : cases) {
        std::vector<std::wstring> arguments = {L"-q", c.sumwise};
        arguments.insert(arguments.end(), files.begin(), files.end());
        const std::vector<std::string> ours = Lines(Sumwise(arguments).output);
        std::string script = "import hashlib, zlib, sys\nfor p in sys.argv[1:]:\n d = open(p, 'rb').read()\n print(" +
                             std::string(c.python) + " + '  ' + p)\n";
        std::string command = "python3 -c \"" + script + "\"";
        for (const auto& file : files) {
            command += " " + platform::BytesFromWide(file);
        }
        std::string theirs;
        FILE* pipe = popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        char buffer[512];
        while (fgets(buffer, sizeof buffer, pipe) != nullptr) {
            theirs += buffer;
        }
        pclose(pipe);
        const std::vector<std::string> expected = Lines(theirs);
        EXPECT_EQ(std::set<std::string>(ours.begin(), ours.end()), std::set<std::string>(expected.begin(), expected.end()))
            << platform::BytesFromWide(c.sumwise);
    }
}
#endif

} // namespace
