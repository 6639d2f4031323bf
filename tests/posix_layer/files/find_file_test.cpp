// Directory enumeration of the POSIX layer over real temporary trees: "." and ".." first with
// the folder's data, attributes of every entry kind, large sizes, times, pattern filtering and
// direct lookup, error codes, and exact round trip of odd names.
#include "platform/platform.h"
#include "posix_layer/find_first.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "support/test_support.h"

namespace {
namespace fs = std::filesystem;

std::wstring Wide(const fs::path& path)
{
    return platform::WideFromBytes(path.string());
}

struct Entry {
    std::wstring name;
    DWORD attributes = 0;
    unsigned long long size = 0;
    unsigned long long writeTime = 0;
};

struct Listing {
    DWORD error = 0; // FindFirstFileExW's error, 0 when it found something
    DWORD endError = 0;
    std::vector<Entry> entries;
    std::vector<std::wstring> Names() const
    {
        std::vector<std::wstring> names;
        for (const Entry& entry : entries) {
            names.push_back(entry.name);
        }
        return names;
    }
};

Entry ToEntry(const WIN32_FIND_DATAW& data)
{
    return Entry {data.cFileName, data.dwFileAttributes,
                  (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow,
                  (static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                      data.ftLastWriteTime.dwLowDateTime};
}

Listing List(const std::wstring& search)
{
    Listing listing;
    WIN32_FIND_DATAW data {};
    const HANDLE find = FindFirstFileExW(search.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                         FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) {
        listing.error = GetLastError();
        return listing;
    }
    do {
        listing.entries.push_back(ToEntry(data));
    } while (FindNextFileW(find, &data));
    listing.endError = GetLastError();
    EXPECT_TRUE(FindClose(find));
    return listing;
}

// The entries after "." and "..", sorted by name.
std::vector<std::wstring> SortedNames(const Listing& listing)
{
    std::vector<std::wstring> names = listing.Names();
    names.erase(std::remove_if(names.begin(), names.end(), [](const std::wstring& name) { return name == L"." || name == L".."; }),
                names.end());
    std::sort(names.begin(), names.end());
    return names;
}

unsigned long long FileTimeOf(const timespec& time)
{
    return (static_cast<unsigned long long>(time.tv_sec) + 11644473600ULL) * 10000000ULL +
           static_cast<unsigned long long>(time.tv_nsec) / 100;
}

TEST(FindFile, DotEntriesComeFirstWithTheFolderData)
{
    testing_support::TempDir dir;
    const fs::path folder = dir.Folder("enum");
    for (const char* name : {"b", "a", "c"}) {
        dir.File(std::string("enum/") + name);
    }
    dir.Folder("enum/d");
    const timespec folderTime {1000000000, 123456700};
    const timespec parentTime {900000000, 0};
    const timespec times[2] = {folderTime, folderTime};
    const timespec parentTimes[2] = {parentTime, parentTime};
    ASSERT_EQ(0, utimensat(AT_FDCWD, folder.c_str(), times, 0));
    ASSERT_EQ(0, utimensat(AT_FDCWD, dir.path().c_str(), parentTimes, 0));

    const Listing listing = List(Wide(folder / "*"));
    ASSERT_EQ(0u, listing.error);
    ASSERT_EQ(6u, listing.entries.size());
    EXPECT_EQ(L".", listing.entries[0].name);
    EXPECT_EQ(L"..", listing.entries[1].name);
    EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, listing.entries[0].attributes);
    EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, listing.entries[1].attributes);
    EXPECT_EQ(FileTimeOf(folderTime), listing.entries[0].writeTime);
    // ".." carries the folder's own data too, not its parent's.
    EXPECT_EQ(FileTimeOf(folderTime), listing.entries[1].writeTime);
    EXPECT_EQ((std::vector<std::wstring> {L"a", L"b", L"c", L"d"}), SortedNames(listing));
    EXPECT_EQ(ERROR_NO_MORE_FILES, listing.endError);

    // An empty folder holds only the two dot entries.
    EXPECT_EQ((std::vector<std::wstring> {L".", L".."}), List(Wide(folder / "d" / "*")).Names());
}

TEST(FindFile, AttributesOfEveryKindOfEntry)
{
    testing_support::TempDir dir;
    dir.File("plain", 3);
    fs::permissions(dir.File("readonly", 5), fs::perms::owner_write, fs::perm_options::remove);
    dir.Folder("folder");
    fs::permissions(dir.Folder("readonly-folder"), fs::perms::owner_write, fs::perm_options::remove);
    fs::create_symlink("plain", dir.path() / "link-to-file");
    fs::create_symlink("folder", dir.path() / "link-to-folder");
    fs::create_symlink("nowhere", dir.path() / "dangling");
    fs::create_symlink("readonly", dir.path() / "link-to-readonly");

    const struct {
        const wchar_t* name;
        DWORD attributes;
        unsigned long long size;
    } rows[] = {
        {L"plain", FILE_ATTRIBUTE_ARCHIVE, 3},
        {L"readonly", FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY, 5},
        {L"folder", FILE_ATTRIBUTE_DIRECTORY, 0},
        {L"readonly-folder", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY, 0},
        {L"link-to-file", FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_ARCHIVE, 0},
        {L"link-to-folder", FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY, 0},
        {L"dangling", FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_ARCHIVE, 0},
        {L"link-to-readonly", FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_ARCHIVE, 0},
    };
    const Listing listing = List(Wide(dir.path() / "*"));
    ASSERT_EQ(0u, listing.error);
    ASSERT_EQ(std::size(rows) + 2, listing.entries.size());
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.name)));
        const auto found = std::find_if(listing.entries.begin(), listing.entries.end(),
                                        [&](const Entry& entry) { return entry.name == row.name; });
        ASSERT_NE(listing.entries.end(), found);
        EXPECT_EQ(row.attributes, found->attributes);
        EXPECT_EQ(row.size, found->size);
        // A direct lookup reports the same.
        const Listing single = List(Wide(dir.path()) + L"/" + row.name);
        ASSERT_EQ(1u, single.entries.size());
        EXPECT_EQ(row.attributes, single.entries[0].attributes);
        EXPECT_EQ(ERROR_NO_MORE_FILES, single.endError);
    }
}

TEST(FindFile, MountPointsAreReparsePoints)
{
    struct stat root {};
    struct stat proc {};
    if (stat("/", &root) != 0 || stat("/proc", &proc) != 0 || root.st_dev == proc.st_dev) {
        GTEST_SKIP() << "/proc is not a separate mount here";
    }
    const Listing listing = List(L"/pro*");
    ASSERT_EQ(0u, listing.error);
    ASSERT_EQ(1u, listing.entries.size());
    EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, listing.entries[0].attributes & ~FILE_ATTRIBUTE_READONLY);
}

TEST(FindFile, SizesBeyondFourGibibytesAndExactTimes)
{
    testing_support::TempDir dir;
    const fs::path file = dir.File("sparse");
    constexpr unsigned long long kSize = (5ULL << 30) + 123;
    ASSERT_EQ(0, truncate(file.c_str(), static_cast<off_t>(kSize)));
    const timespec written {1234567890, 987654321};
    const timespec times[2] = {written, written};
    ASSERT_EQ(0, utimensat(AT_FDCWD, file.c_str(), times, 0));

    const Listing listing = List(Wide(dir.path() / "sp*"));
    ASSERT_EQ(1u, listing.entries.size());
    EXPECT_EQ(kSize, listing.entries[0].size);
    // 2009-02-13 23:31:30.9876543 UTC in 100-ns units since 1601 (the last digit is cut).
    EXPECT_EQ(128790414909876543ULL, listing.entries[0].writeTime);
}

TEST(FindFile, PatternsFilterNamesAndPlainNamesAreLookedUp)
{
    testing_support::TempDir dir;
    for (const char* name : {"a.log", "b.LOG", "c.log.bak", "d.html", "e", "ab", "abc.txt", ".hidden"}) {
        dir.File(name);
    }
    using Names = std::vector<std::wstring>;
    const struct {
        const wchar_t* pattern;
        Names names; // in enumeration order for "." and "..", then sorted
        DWORD error;
    } rows[] = {
        {L"*.log", {L"a.log", L"b.LOG"}, 0},
        {L"*.LOG", {L"a.log", L"b.LOG"}, 0},
        {L"*.*", {L".", L"..", L".hidden", L"a.log", L"ab", L"abc.txt", L"b.LOG", L"c.log.bak", L"d.html", L"e"}, 0},
        {L"*", {L".", L"..", L".hidden", L"a.log", L"ab", L"abc.txt", L"b.LOG", L"c.log.bak", L"d.html", L"e"}, 0},
        {L"?", {L".", L"e"}, 0},
        {L"??", {L"..", L"ab"}, 0},
        {L".*", {L".", L"..", L".hidden"}, 0},
        {L"a?", {L"ab"}, 0},
        {L"ab?", {}, ERROR_FILE_NOT_FOUND},
        {L"*.zzz", {}, ERROR_FILE_NOT_FOUND},
        // No wildcard: one lookup of exactly that name.
        {L"abc.txt", {L"abc.txt"}, 0},
        {L"zzz", {}, ERROR_FILE_NOT_FOUND},
        {L"ABC.TXT", {}, ERROR_FILE_NOT_FOUND},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.pattern)));
        const Listing listing = List(Wide(dir.path()) + L"/" + row.pattern);
        EXPECT_EQ(row.error, listing.error);
        Names names = listing.Names();
        const auto dots = std::count_if(names.begin(), names.end(), [](const std::wstring& n) { return n == L"." || n == L".."; });
        std::sort(names.begin() + dots, names.end());
        EXPECT_EQ(row.names, names);
    }
}

TEST(FindFile, ErrorCodes)
{
    testing_support::TempDir dir;
    dir.File("a");
    dir.Folder("d");
    const std::wstring root = Wide(dir.path());
    const struct {
        std::wstring search;
        DWORD error;
    } rows[] = {
        {root + L"/*.zzz", ERROR_FILE_NOT_FOUND},
        {root + L"/zzz", ERROR_FILE_NOT_FOUND},
        {root + L"/missing/*", ERROR_PATH_NOT_FOUND},
        {root + L"/missing/x/*", ERROR_PATH_NOT_FOUND},
        {root + L"/missing/x", ERROR_PATH_NOT_FOUND},
        {root + L"/a/*", ERROR_PATH_NOT_FOUND}, // Windows: 123
        {root + L"/a/x", ERROR_PATH_NOT_FOUND},
        {root + L"/a/x/*", ERROR_PATH_NOT_FOUND},
        {root + L"/", ERROR_FILE_NOT_FOUND},
        {root + L"/d/", ERROR_FILE_NOT_FOUND},
        {L"", ERROR_PATH_NOT_FOUND},
        {L"/", ERROR_FILE_NOT_FOUND},
        {root + L"/bad\xD800*", ERROR_INVALID_NAME}, // a lone surrogate has no byte form
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.search));
        EXPECT_EQ(row.error, List(row.search).error);
    }
    WIN32_FIND_DATAW data {};
    EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileExW((root + L"/*").c_str(), FindExInfoBasic, &data,
                                                     FindExSearchLimitToDevices, nullptr, 0));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
    EXPECT_FALSE(FindClose(INVALID_HANDLE_VALUE));
    EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
}

TEST(FindFile, UnreadableFolderIsAccessDenied)
{
    testing_support::TempDir dir;
    const fs::path denied = dir.Folder("denied");
    dir.File("denied/x");
    fs::permissions(denied, fs::perms::none);
    fs::permissions(dir.path(), fs::perms::others_exec | fs::perms::others_read, fs::perm_options::add);
    const std::wstring search = Wide(denied / "*");
    // Root reads every folder: check as an unprivileged user in a child process.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (getuid() == 0 && setresuid(65534, 65534, 65534) != 0) {
            _exit(100);
        }
        WIN32_FIND_DATAW data {};
        const HANDLE find = FindFirstFileW(search.c_str(), &data);
        _exit(find == INVALID_HANDLE_VALUE ? static_cast<int>(GetLastError()) : 0);
    }
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(100, WEXITSTATUS(status)) << "could not drop privileges";
    EXPECT_EQ(static_cast<int>(ERROR_ACCESS_DENIED), WEXITSTATUS(status));
}

TEST(FindFile, OddNamesRoundTripAndDeleteExactly)
{
    testing_support::TempDir dir;
    const std::string names[] = {"back\\slash", "new\nline", "bad\xff\xfe", "trunc\xc3", "caf\xc3\xa9", "bad", "trunc"};
    for (const std::string& name : names) {
        const int fd = open((dir.path().string() + "/" + name).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        close(fd);
    }
    const Listing listing = List(Wide(dir.path() / "*"));
    std::vector<std::wstring> expected;
    for (const std::string& name : names) {
        expected.push_back(platform::WideFromBytes(name));
    }
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(expected, SortedNames(listing));
    EXPECT_TRUE(std::count(expected.begin(), expected.end(), std::wstring(L"bad\xDCFF\xDCFE")));

    // Deleting by the enumerated names removes exactly those files.
    for (const std::wstring& name : {std::wstring(L"bad\xDCFF\xDCFE"), std::wstring(L"trunc\xDCC3"),
                                     std::wstring(L"back\\slash"), std::wstring(L"new\nline")}) {
        EXPECT_TRUE(DeleteFileW((Wide(dir.path()) + L"/" + name).c_str())) << GetLastError();
    }
    std::set<std::string> left;
    for (const auto& item : fs::directory_iterator(dir.path())) {
        left.insert(item.path().filename().string());
    }
    EXPECT_EQ((std::set<std::string> {"caf\xc3\xa9", "bad", "trunc"}), left);
}

TEST(FindFile, EntriesDeletedWhileEnumeratingAreEachSeenOnce)
{
    testing_support::TempDir dir;
    constexpr int kFiles = 3000; // several getdents64 batches
    for (int i = 0; i < kFiles; ++i) {
        dir.File("file-with-a-longish-name-" + std::to_string(i));
    }
    WIN32_FIND_DATAW data {};
    const std::wstring root = Wide(dir.path());
    const HANDLE find = FindFirstFileExW((root + L"/*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    std::set<std::wstring> seen;
    int deleted = 0;
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            EXPECT_TRUE(seen.insert(data.cFileName).second);
            deleted += DeleteFileW((root + L"/" + data.cFileName).c_str());
        }
    } while (FindNextFileW(find, &data));
    EXPECT_EQ(ERROR_NO_MORE_FILES, GetLastError());
    FindClose(find);
    EXPECT_EQ(kFiles, deleted);
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

} // namespace
