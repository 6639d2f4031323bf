// The direct lookup of the POSIX layer (FindFirstFileW of a name without wildcards) gives exactly
// the data the enumeration of its folder gives: for every kind of entry, outside and inside an
// open enumeration, through "..", on a path longer than PATH_MAX, and for a mount point.
#include "platform/platform.h"
#include "posix_layer/find_first.h"

#include <gtest/gtest.h>

#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "posix_layer/file_content.h"
#include "support/test_support.h"

namespace {
namespace fs = std::filesystem;
using testing_support::WidePath;

struct Found {
    DWORD error = 0;
    WIN32_FIND_DATAW data {};
};

Found LookUp(const std::wstring& path)
{
    Found found;
    const HANDLE find = FindFirstFileW(path.c_str(), &found.data);
    if (find == INVALID_HANDLE_VALUE) {
        found.error = GetLastError();
    } else {
        WIN32_FIND_DATAW next {};
        EXPECT_FALSE(FindNextFileW(find, &next)); // one name, one entry
        EXPECT_EQ(ERROR_NO_MORE_FILES, GetLastError());
        FindClose(find);
    }
    return found;
}

// Every entry of `folder` but "." and "..", as the enumeration gives it.
std::vector<WIN32_FIND_DATAW> Enumerate(const std::wstring& folder)
{
    std::vector<WIN32_FIND_DATAW> entries;
    WIN32_FIND_DATAW data {};
    const HANDLE find = FindFirstFileW((folder + L"/*").c_str(), &data);
    EXPECT_NE(INVALID_HANDLE_VALUE, find);
    do {
        if (std::wcscmp(data.cFileName, L".") != 0 && std::wcscmp(data.cFileName, L"..") != 0) {
            entries.push_back(data);
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return entries;
}

void ExpectSameData(const WIN32_FIND_DATAW& expected, const WIN32_FIND_DATAW& actual)
{
    EXPECT_EQ(expected.dwFileAttributes, actual.dwFileAttributes);
    EXPECT_EQ(expected.nFileSizeHigh, actual.nFileSizeHigh);
    EXPECT_EQ(expected.nFileSizeLow, actual.nFileSizeLow);
    EXPECT_EQ(expected.ftLastWriteTime.dwLowDateTime, actual.ftLastWriteTime.dwLowDateTime);
    EXPECT_EQ(expected.ftLastWriteTime.dwHighDateTime, actual.ftLastWriteTime.dwHighDateTime);
    EXPECT_EQ(expected.ftCreationTime.dwLowDateTime, actual.ftCreationTime.dwLowDateTime);
    // Following a link to see what it leads to (as both do, after its stat) sets the link's access
    // time; everything else is left alone.
    if ((expected.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        EXPECT_EQ(expected.ftLastAccessTime.dwLowDateTime, actual.ftLastAccessTime.dwLowDateTime);
    }
    EXPECT_EQ(std::wstring(expected.cFileName), std::wstring(actual.cFileName));
}

TEST(FindFileLookUp, GivesWhatTheEnumerationGivesForEveryKindOfEntry)
{
    testing_support::TempDir dir;
    dir.File("plain", 3);
    fs::permissions(dir.File("readonly", 5), fs::perms::owner_write, fs::perm_options::remove);
    dir.File("folder/inner", 1);
    fs::permissions(dir.Folder("readonly-folder"), fs::perms::owner_write, fs::perm_options::remove);
    fs::create_symlink("plain", dir.path() / "link-to-file");
    fs::create_symlink("folder", dir.path() / "link-to-folder");
    fs::create_symlink("nowhere", dir.path() / "dangling");
    const std::wstring root = WidePath(dir.path());
    const std::vector<WIN32_FIND_DATAW> entries = Enumerate(root);
    ASSERT_EQ(7u, entries.size());
    for (const bool insideEnumeration : {false, true}) {
        // An open enumeration of the folder makes the lookup resolve through its descriptor.
        WIN32_FIND_DATAW open {};
        const HANDLE find = insideEnumeration ? FindFirstFileW((root + L"/*").c_str(), &open) : INVALID_HANDLE_VALUE;
        for (const WIN32_FIND_DATAW& entry : entries) {
            SCOPED_TRACE(testing::PrintToString(std::wstring(entry.cFileName)) + (insideEnumeration ? " inside" : ""));
            const Found found = LookUp(root + L"/" + entry.cFileName);
            ASSERT_EQ(0u, found.error);
            ExpectSameData(entry, found.data);
        }
        FindClose(find);
    }
    // Through "..": the folder the name leads to, under the name given.
    const Found parent = LookUp(root + L"/folder/..");
    ASSERT_EQ(0u, parent.error);
    EXPECT_EQ(L"..", std::wstring(parent.data.cFileName));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY), parent.data.dwFileAttributes);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, LookUp(root + L"/missing").error);
    EXPECT_EQ(ERROR_PATH_NOT_FOUND, LookUp(root + L"/missing/x").error);
    EXPECT_EQ(ERROR_PATH_NOT_FOUND, LookUp(root + L"/plain/x").error);
}

TEST(FindFileLookUp, PathsLongerThanPathMax)
{
    testing_support::TempDir dir;
    const std::string component(200, 'd');
    std::string relative;
    int fd = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    while (relative.size() <= PATH_MAX) {
        ASSERT_EQ(0, mkdirat(fd, component.c_str(), 0755));
        const int next = openat(fd, component.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        close(fd);
        fd = next;
        relative += "/" + component;
    }
    ASSERT_EQ(0, mkdirat(fd, "sub", 0755));
    const int file = openat(fd, "file", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_EQ(4, write(file, "data", 4));
    close(file);
    close(fd);
    const std::wstring deep = WidePath(dir.path()) + platform::WideFromBytes(relative);
    for (const WIN32_FIND_DATAW& entry : Enumerate(deep)) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(entry.cFileName)));
        const Found found = LookUp(deep + L"/" + entry.cFileName);
        ASSERT_EQ(0u, found.error);
        ExpectSameData(entry, found.data);
    }
}

TEST(FindFileLookUp, MountPointIsAReparsePoint)
{
    struct stat root {};
    struct stat proc {};
    if (stat("/", &root) != 0 || stat("/proc", &proc) != 0 || root.st_dev == proc.st_dev) {
        GTEST_SKIP() << "/proc is not a separate mount here";
    }
    const Found found = LookUp(L"/proc");
    ASSERT_EQ(0u, found.error);
    EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, found.data.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
}

} // namespace
