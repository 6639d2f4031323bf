// File handles of the POSIX layer: CreateFileW's access, disposition and flag rules and error
// codes, sizes above 4 GiB, the kind of object GetFileType reports, the identity
// GetFileInformationByHandle gives, and CloseHandle on them.
#include "platform/platform.h"
#include "posix_layer/find_first.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "support/test_support.h"

namespace {
namespace fs = std::filesystem;

std::wstring Wide(const fs::path& path)
{
    return platform::WideFromBytes(path.string());
}

HANDLE Open(const std::wstring& path, DWORD access = GENERIC_READ, DWORD flags = 0, DWORD disposition = OPEN_EXISTING)
{
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition, flags, nullptr);
}

// The error CreateFileW leaves, or 0 when it opened (the handle is closed again).
DWORD OpenError(const std::wstring& path, DWORD access = GENERIC_READ, DWORD flags = 0,
                DWORD disposition = OPEN_EXISTING)
{
    const HANDLE file = Open(path, access, flags, disposition);
    if (file == INVALID_HANDLE_VALUE) {
        return GetLastError();
    }
    EXPECT_TRUE(CloseHandle(file));
    return 0;
}

struct Identity {
    DWORD volume, high, low;
    bool operator==(const Identity&) const = default;
};

Identity IdentityOf(const std::wstring& path)
{
    const HANDLE file = Open(path, 0, FILE_FLAG_BACKUP_SEMANTICS);
    EXPECT_NE(INVALID_HANDLE_VALUE, file) << GetLastError();
    BY_HANDLE_FILE_INFORMATION info {};
    EXPECT_TRUE(GetFileInformationByHandle(file, &info));
    CloseHandle(file);
    return {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

TEST(CreateFileW, RulesAndErrors)
{
    testing_support::TempDir dir;
    const std::wstring root = Wide(dir.path());
    dir.File("file", 3);
    dir.Folder("folder");
    ASSERT_EQ(0, mkfifo((dir.path() / "fifo").c_str(), 0600));
    const struct {
        std::wstring path;
        DWORD access, flags, disposition, error;
    } cases[] = {
        {root + L"/file", GENERIC_READ, FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OVERLAPPED, OPEN_EXISTING, 0},
        {root + L"/file", 0, 0, OPEN_EXISTING, 0},
        {root + L"/missing", GENERIC_READ, 0, OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {root + L"/missing/file", GENERIC_READ, 0, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {root + L"/file/", GENERIC_READ, 0, OPEN_EXISTING, ERROR_INVALID_NAME},
        {root + L"/folder", GENERIC_READ, 0, OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {root + L"/folder", GENERIC_READ, FILE_FLAG_BACKUP_SEMANTICS, OPEN_EXISTING, 0},
        {root + L"/file", GENERIC_WRITE, 0, OPEN_EXISTING, ERROR_INVALID_PARAMETER},
        {root + L"/file", GENERIC_READ, 0, CREATE_ALWAYS, ERROR_INVALID_PARAMETER},
        {root + L"/file", GENERIC_READ, FILE_FLAG_OPEN_REPARSE_POINT, OPEN_EXISTING, ERROR_INVALID_PARAMETER},
        // A FIFO without a writer opens at once instead of holding the caller.
        {root + L"/fifo", GENERIC_READ, 0, OPEN_EXISTING, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.error, OpenError(c.path, c.access, c.flags, c.disposition)) << &c - cases;
    }
}

TEST(CreateFileW, SizesAboveFourGiB)
{
    testing_support::TempDir dir;
    const fs::path sparse = dir.File("sparse");
    fs::resize_file(sparse, (5ULL << 32) + 0xFFFFFFFFULL); // low part all ones
    const HANDLE file = Open(Wide(sparse));
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    SetLastError(ERROR_INVALID_FUNCTION);
    DWORD high = 0;
    EXPECT_EQ(INVALID_FILE_SIZE, GetFileSize(file, &high));
    EXPECT_EQ(5u, high);
    EXPECT_EQ(0u, GetLastError()); // a real size, not a failure
    BY_HANDLE_FILE_INFORMATION info {};
    ASSERT_TRUE(GetFileInformationByHandle(file, &info));
    EXPECT_EQ(5u, info.nFileSizeHigh);
    EXPECT_EQ(0xFFFFFFFFu, info.nFileSizeLow);
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE), info.dwFileAttributes);
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_EQ(INVALID_FILE_SIZE, GetFileSize(nullptr, &high));
    EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
}

TEST(GetFileType, TellsFilesFromPipesAndDevices)
{
    testing_support::TempDir dir;
    const std::wstring root = Wide(dir.path());
    dir.File("file", 3);
    ASSERT_EQ(0, mkfifo((dir.path() / "fifo").c_str(), 0600));
    fs::create_symlink("/dev/zero", dir.path() / "zero");
    // A block device node opened for queries only needs no driver behind it.
    const bool block = mknod((dir.path() / "block").c_str(), S_IFBLK | 0600, makedev(7, 0)) == 0;
    const struct {
        std::wstring path;
        DWORD access, flags, type;
    } cases[] = {{root + L"/file", GENERIC_READ, FILE_FLAG_OVERLAPPED, FILE_TYPE_DISK},
                 {root, 0, FILE_FLAG_BACKUP_SEMANTICS, FILE_TYPE_DISK},
                 {root + L"/fifo", GENERIC_READ, 0, FILE_TYPE_PIPE},
                 {root + L"/zero", GENERIC_READ, 0, FILE_TYPE_CHAR},
                 {root + L"/block", 0, 0, FILE_TYPE_UNKNOWN}};
    for (const auto& c : cases) {
        const HANDLE file = Open(c.path, c.access, c.flags);
        ASSERT_TRUE(file != INVALID_HANDLE_VALUE || (c.type == FILE_TYPE_UNKNOWN && !block)) << &c - cases;
        SetLastError(ERROR_INVALID_FUNCTION);
        EXPECT_EQ(c.type, GetFileType(file)) << &c - cases;
        EXPECT_EQ(file != INVALID_HANDLE_VALUE ? 0u : ERROR_INVALID_HANDLE, GetLastError()) << &c - cases;
        CloseHandle(file);
    }
}

TEST(GetFileInformationByHandle, IdentityFollowsLinksAndTellsObjectsApart)
{
    testing_support::TempDir dir;
    dir.File("a/file", 1);
    dir.File("b", 1);
    fs::create_symlink(dir.path() / "a", dir.path() / "link-to-a");
    fs::create_hard_link(dir.path() / "b", dir.path() / "hard-b");
    const std::wstring root = Wide(dir.path());
    EXPECT_EQ(IdentityOf(root + L"/a"), IdentityOf(root + L"/link-to-a"));
    EXPECT_EQ(IdentityOf(root + L"/b"), IdentityOf(root + L"/hard-b"));
    EXPECT_FALSE(IdentityOf(root + L"/a") == IdentityOf(root + L"/b"));
    EXPECT_FALSE(IdentityOf(root + L"/a") == IdentityOf(root + L"/a/file"));

    const HANDLE folder = Open(root + L"/link-to-a", 0, FILE_FLAG_BACKUP_SEMANTICS);
    BY_HANDLE_FILE_INFORMATION info {};
    ASSERT_TRUE(GetFileInformationByHandle(folder, &info));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY), info.dwFileAttributes); // the target, not the link
    EXPECT_FALSE(GetFileInformationByHandle(folder, nullptr));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
    CloseHandle(folder);
    const HANDLE hard = Open(root + L"/b");
    ASSERT_TRUE(GetFileInformationByHandle(hard, &info));
    EXPECT_EQ(2u, info.nNumberOfLinks);
    CloseHandle(hard);
}

TEST(GetFileInformationByHandle, WorksInsideAnOpenEnumeration)
{
    // A finder asks for the identity of the entries of the folder it is enumerating.
    testing_support::TempDir dir;
    dir.File("sub/file", 1);
    fs::create_symlink(dir.path() / "sub", dir.path() / "sub/back");
    const std::wstring root = Wide(dir.path());
    WIN32_FIND_DATAW data {};
    const HANDLE find = FindFirstFileW((root + L"/sub/*").c_str(), &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    EXPECT_EQ(IdentityOf(root + L"/sub"), IdentityOf(root + L"/sub/back"));
    FindClose(find);
}

} // namespace
