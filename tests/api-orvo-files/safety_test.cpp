// What a deletion run as an administrator must never do: follow a link or a mount point out of
// its root, lose or mistake a name, fail on a deep tree, or be redirected by a folder swapped for
// a link while it runs. These need POSIX means to build the trees.
#if !defined(_WIN32)
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "engine_test_support.h"
#include "platform/platform.h"

namespace fs = std::filesystem;

namespace {

using engine_test::Clean;
using engine_test::kEverything;
using testing_support::TempDir;

void Touch(const fs::path& file)
{
    std::ofstream(file) << "x";
}

TEST(CleanupSafety, LinksToFoldersAndFilesOutsideTheRootAreNotFollowed)
{
    TempDir dir;
    const fs::path outside = dir.Folder("outside");
    Touch(outside / "precious.txt");
    const fs::path root = dir.Folder("root");
    dir.File("root/sub/a.log", 1);
    fs::create_directory_symlink(outside, root / "sub" / "folder-link");
    fs::create_symlink(outside / "precious.txt", root / "file-link");

    const auto result = Clean(root, nullptr, 0, kEverything);
    EXPECT_EQ(result.hr, S_OK);
    EXPECT_TRUE(fs::exists(outside / "precious.txt"));
    // The link to a file is a file: it is deleted as a link. The folder link is never removed,
    // so the folder holding it stays.
    EXPECT_FALSE(fs::is_symlink(root / "file-link"));
    EXPECT_TRUE(fs::is_symlink(root / "sub" / "folder-link"));
    EXPECT_FALSE(fs::exists(root / "sub" / "a.log"));
}

TEST(CleanupSafety, MountPointInsideTheTreeIsNotEntered)
{
    TempDir dir;
    const fs::path root = dir.Folder("root");
    const fs::path mounted = dir.Folder("root/mnt");
    if (mount("orvo-test", mounted.c_str(), "tmpfs", 0, "size=1m") != 0) {
        GTEST_SKIP() << "cannot mount a tmpfs here (needs CAP_SYS_ADMIN)";
    }
    Touch(mounted / "inside.txt");
    const auto result = Clean(root, nullptr, 0, kEverything);
    EXPECT_EQ(result.hr, S_OK);
    EXPECT_TRUE(fs::exists(mounted / "inside.txt"));
    umount(mounted.c_str());
}

TEST(CleanupSafety, UnusualNamesAreDeletedExactly)
{
    TempDir dir;
    const fs::path root = dir.Folder("root");
    const std::string names[] = {"back\\slash", "new\nline", std::string("bad\xff\xfe", 5), std::string("\xc3\x28", 2),
                                 "caf\xc3\xa9", "*star?", " lead", "trail "};
    for (const std::string& name : names) {
        Touch(root / name);
        Touch(dir.path() / name); // the same names outside the root must survive
    }
    const auto result = Clean(root, nullptr, 0, CLEANUP_RECURSE);
    EXPECT_EQ(result.hr, S_OK);
    EXPECT_EQ(result.stats.FilesRemoved, std::size(names));
    EXPECT_TRUE(fs::is_empty(root));
    for (const std::string& name : names) {
        EXPECT_TRUE(fs::exists(dir.path() / name)) << name;
    }
}

// Builds `depth` nested folders named `name` below `root` without ever passing a long path to
// the system, with a file at the bottom; returns nothing, the tree is below root.
void MakeDeepTree(const fs::path& root, int depth, const char* name)
{
    int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int level = 0; level < depth; ++level) {
        ASSERT_EQ(mkdirat(fd, name, 0755), 0);
        const int next = openat(fd, name, O_RDONLY | O_DIRECTORY);
        close(fd);
        ASSERT_GE(next, 0);
        fd = next;
    }
    const int file = openat(fd, "bottom.txt", O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(file, 0);
    close(file);
    close(fd);
}

TEST(CleanupSafety, TreeDeeperThanPathMax)
{
    TempDir dir(true);
    const fs::path root = dir.Folder("root");
    MakeDeepTree(root, 2000, "folder"); // about 14,000 bytes of path
    const auto result = Clean(root, nullptr, 0, CLEANUP_RECURSE | CLEANUP_REMOVE_EMPTY_SUBFOLDERS);
    ASSERT_EQ(result.hr, S_OK);
    EXPECT_EQ(result.stats.FilesRemoved, 1u);
    EXPECT_EQ(result.stats.FoldersVisited, 2001u);
    EXPECT_EQ(result.stats.FoldersRemoved, 2000u);
    EXPECT_TRUE(fs::is_empty(root));
}

TEST(CleanupSafety, SixteenThousandLevels)
{
    TempDir dir(true);
    const fs::path root = dir.Folder("r");
    MakeDeepTree(root, 16000, "d");
    const auto result = Clean(root, nullptr, 0, CLEANUP_RECURSE | CLEANUP_REMOVE_EMPTY_SUBFOLDERS);
    ASSERT_EQ(result.hr, S_OK);
    EXPECT_EQ(result.stats.FilesRemoved, 1u);
    EXPECT_EQ(result.stats.FoldersRemoved, 16000u);
}

// Another thread keeps swapping a subfolder for a link to an outside folder while the engine
// cleans; whatever the timing, nothing outside is touched.
TEST(CleanupSafety, SwappingASubfolderForALinkNeverRedirectsADeletion)
{
    TempDir dir(true);
    const fs::path outside = dir.Folder("outside");
    for (int round = 0; round < 40; ++round) {
        for (int i = 0; i < 50; ++i) {
            Touch(outside / ("keep" + std::to_string(i)));
        }
        const fs::path root = dir.Folder("root" + std::to_string(round));
        for (int i = 0; i < 200; ++i) {
            dir.File("root" + std::to_string(round) + "/sub/f" + std::to_string(i), 1);
        }
        std::atomic<bool> stop{false};
        std::thread swapper([&] {
            const fs::path sub = root / "sub";
            const fs::path parked = root / "parked";
            std::error_code error;
            while (!stop.load()) {
                fs::rename(sub, parked, error);
                fs::create_directory_symlink(outside, sub, error);
                std::this_thread::yield();
                fs::remove(sub, error);
                fs::rename(parked, sub, error);
            }
        });
        Clean(root, nullptr, 0, kEverything);
        stop = true;
        swapper.join();
        for (int i = 0; i < 50; ++i) {
            ASSERT_TRUE(fs::exists(outside / ("keep" + std::to_string(i)))) << "round " << round;
        }
    }
}

} // namespace
#endif
