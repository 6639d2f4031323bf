// The mount-point decision: a bind mount of a folder of the same file system (same device as its
// parent) is a mount point for the enumeration and the lookup, inside an enumeration too, by the
// mount-root attribute and by the older kernels' mount ids alike; a folder that becomes a mount
// point after its parent listed it is refused when the walk opens it. In a private mount namespace.
#include "platform/platform.h"
#include "posix_layer/find_first.h"
#include "platform/posix/files/folder_mount.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>

#include "support/private_mounts.h"
#include "support/test_support.h"

namespace {
namespace fs = std::filesystem;
using testing_support::Mount;
using testing_support::RunWithPrivateMounts;

std::wstring Wide(const fs::path& path)
{
    return platform::WideFromBytes(path.string());
}

// The attributes of every entry of `folder`, enumerated with `flags`.
std::map<std::wstring, DWORD> Attributes(const fs::path& folder, DWORD flags)
{
    std::map<std::wstring, DWORD> seen;
    WIN32_FIND_DATAW data{};
    const HANDLE find =
        FindFirstFileExW(Wide(folder / "*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, flags);
    EXPECT_NE(find, INVALID_HANDLE_VALUE);
    if (find == INVALID_HANDLE_VALUE) {
        return seen;
    }
    do {
        seen[data.cFileName] = data.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY;
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return seen;
}

// The attributes that the lookup (FindFirstFileW of the name itself) reports for `path`.
DWORD LookedUp(const fs::path& path)
{
    WIN32_FIND_DATAW data{};
    const HANDLE find = FindFirstFileW(Wide(path).c_str(), &data);
    EXPECT_NE(find, INVALID_HANDLE_VALUE) << path;
    FindClose(find);
    return data.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY;
}

constexpr DWORD kMountPoint = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;

TEST(FolderMount, SameFileSystemBindMountIsAMountPointEverywhere)
{
    testing_support::TempDir dir;
    const fs::path root = dir.Folder("root");
    dir.Folder("root/sub");
    dir.Folder("root/plain");
    const fs::path bait = dir.Folder("bait");
    dir.File("bait/keep", 1);
    bool failed = false;
    const std::string refused = RunWithPrivateMounts(
        [&] {
            ASSERT_TRUE(Mount(bait, root / "sub"));
            for (const DWORD flags : {0u, platform::kFindLazyData}) {
                auto seen = Attributes(root, flags);
                EXPECT_EQ(seen[L"sub"], kMountPoint) << "flags " << flags;
                EXPECT_EQ(seen[L"plain"], FILE_ATTRIBUTE_DIRECTORY) << "flags " << flags;
            }
            EXPECT_EQ(LookedUp(root / "sub"), kMountPoint);
            // The folder that is mounted elsewhere is no mount point where it lives.
            EXPECT_EQ(LookedUp(bait), FILE_ATTRIBUTE_DIRECTORY);
            // Inside an open enumeration of its parent, resolved through its descriptor.
            WIN32_FIND_DATAW data{};
            const HANDLE parent =
                FindFirstFileExW(Wide(root / "*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
            ASSERT_NE(parent, INVALID_HANDLE_VALUE);
            EXPECT_EQ(LookedUp(root / "sub"), kMountPoint);
            EXPECT_EQ(LookedUp(root / "plain"), FILE_ATTRIBUTE_DIRECTORY);
            FindClose(parent);

            // What kernels without the mount-root attribute decide, through mount ids.
            const int rootFd = open(root.c_str(), O_RDONLY | O_DIRECTORY);
            ASSERT_GE(rootFd, 0);
            struct stat info {};
            ASSERT_EQ(fstatat(rootFd, "sub", &info, AT_SYMLINK_NOFOLLOW), 0);
            EXPECT_TRUE(platform::MountPointByMountId(rootFd, "sub", info));
            ASSERT_EQ(fstatat(rootFd, "plain", &info, AT_SYMLINK_NOFOLLOW), 0);
            EXPECT_FALSE(platform::MountPointByMountId(rootFd, "plain", info));
            const int subFd = openat(rootFd, "sub", O_PATH | O_DIRECTORY);
            ASSERT_GE(subFd, 0);
            EXPECT_TRUE(platform::MountPointByMountId(subFd, "", info));
            ASSERT_EQ(stat("/", &info), 0);
            EXPECT_FALSE(platform::MountPointByMountId(AT_FDCWD, "/", info));
            close(subFd);
            close(rootFd);
        },
        failed);
    if (!refused.empty()) {
        GTEST_SKIP() << refused;
    }
    EXPECT_FALSE(failed) << "the failures are printed above";
}

// The parent lists "sub" as a plain folder; then a folder of the same file system is bound over
// it. Opened below the parent's enumeration, it is refused as a folder no longer there, unless
// links are followed; unmounted again, it opens.
TEST(FolderMount, FolderThatBecameAMountPointIsRefusedWhenOpened)
{
    testing_support::TempDir dir;
    const fs::path root = dir.Folder("root");
    dir.Folder("root/sub");
    const fs::path bait = dir.Folder("bait");
    dir.File("bait/keep", 1);
    bool failed = false;
    const std::string refused = RunWithPrivateMounts(
        [&] {
            const std::wstring inside = Wide(root / "sub" / "*");
            WIN32_FIND_DATAW data{};
            const HANDLE parent =
                FindFirstFileExW(Wide(root / "*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
            ASSERT_NE(parent, INVALID_HANDLE_VALUE);
            while (std::wstring(data.cFileName) != L"sub" && FindNextFileW(parent, &data)) {
            }
            EXPECT_EQ(data.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_DIRECTORY);
            ASSERT_TRUE(Mount(bait, root / "sub"));
            for (const DWORD flags : {0u, platform::kFindLazyData}) {
                SetLastError(0);
                EXPECT_EQ(FindFirstFileExW(inside.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, flags),
                          INVALID_HANDLE_VALUE)
                    << "flags " << flags;
                EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND)) << "flags " << flags;
            }
            HANDLE followed = FindFirstFileExW(inside.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                               platform::kFindFollowLinks);
            EXPECT_NE(followed, INVALID_HANDLE_VALUE);
            FindClose(followed);
            ASSERT_EQ(umount(((root / "sub").c_str())), 0);
            followed = FindFirstFileExW(inside.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
            EXPECT_NE(followed, INVALID_HANDLE_VALUE);
            FindClose(followed);
            FindClose(parent);
        },
        failed);
    if (!refused.empty()) {
        GTEST_SKIP() << refused;
    }
    EXPECT_FALSE(failed) << "the failures are printed above";
}

} // namespace
