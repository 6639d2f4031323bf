// The tree walk on real temporary trees: pattern and recursion choices with their exact
// counters, read-only files, folder removal rules, the root, denied folders and the budget.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/hresults.h"
#include "engine_test_support.h"

namespace fs = std::filesystem;

namespace {

using engine_test::Clean;
using engine_test::kOneDay;
using testing_support::SetAgeDays;
using testing_support::TempDir;

// a.log (old), b.log (new), c.txt (old)
struct LogFolder {
    TempDir dir;
    LogFolder()
    {
        SetAgeDays(dir.File("a.log", 100), 3);
        dir.File("b.log", 200);
        SetAgeDays(dir.File("c.txt", 300), 3);
    }
};

TEST(CleanupWalk, OnePatternWithoutRecursionLetsTheEnumerationFilter)
{
    LogFolder tree;
    const auto result = Clean(tree.dir.path(), L"*.log", kOneDay, 0);
    ASSERT_EQ(result.hr, S_OK);
    EXPECT_EQ(result.stats.FilesConsidered, 2u);
    EXPECT_EQ(result.stats.FilesRemoved, 1u);
    EXPECT_EQ(result.stats.FilesRemovedSizeBytes, 100u);
    EXPECT_EQ(result.stats.FoldersVisited, 1u);
    EXPECT_FALSE(fs::exists(tree.dir.path() / "a.log"));
    EXPECT_TRUE(fs::exists(tree.dir.path() / "b.log"));
    EXPECT_TRUE(fs::exists(tree.dir.path() / "c.txt"));
}

TEST(CleanupWalk, RecursionOrSeveralPatternsMatchEveryName)
{
    {
        LogFolder tree;
        const auto result = Clean(tree.dir.path(), L"*.log", kOneDay, CLEANUP_RECURSE);
        ASSERT_EQ(result.hr, S_OK);
        EXPECT_EQ(result.stats.FilesConsidered, 3u);
        EXPECT_EQ(result.stats.FilesRemoved, 1u);
    }
    for (const DWORD flags : {DWORD{0}, CLEANUP_RECURSE}) {
        LogFolder tree;
        tree.dir.File("d.tmp", 5);
        SetAgeDays(tree.dir.path() / "d.tmp", 3);
        const auto result = Clean(tree.dir.path(), L"*.log;*.tmp", kOneDay, flags);
        ASSERT_EQ(result.hr, S_OK);
        EXPECT_EQ(result.stats.FilesConsidered, 4u);
        EXPECT_EQ(result.stats.FilesRemoved, 2u);
        EXPECT_FALSE(fs::exists(tree.dir.path() / "d.tmp"));
        EXPECT_TRUE(fs::exists(tree.dir.path() / "c.txt"));
    }
}

TEST(CleanupWalk, NoMatchForTheOnePatternSucceedsWithNothingCounted)
{
    LogFolder tree;
    const auto result = Clean(tree.dir.path(), L"*.zzz", 0, 0);
    EXPECT_EQ(result.hr, S_OK);
    EXPECT_EQ(result.stats.FilesConsidered, 0u);
    EXPECT_EQ(result.stats.FoldersVisited, 0u);
}

TEST(CleanupWalk, NameThatOnlyResemblesThePatternIsKept)
{
    TempDir dir;
    dir.File("x.logx", 1);
    dir.File("y.log", 1);
    const auto result = Clean(dir.path(), L"*.log", 0, 0);
    ASSERT_EQ(result.hr, S_OK);
    EXPECT_TRUE(fs::exists(dir.path() / "x.logx"));
    EXPECT_FALSE(fs::exists(dir.path() / "y.log"));
    EXPECT_EQ(result.stats.FilesRemoved, 1u);
}

void MakeReadOnly(const fs::path& file)
{
    fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

TEST(CleanupWalk, ReadOnlyFiles)
{
    {
        TempDir dir;
        const auto file = dir.File("ro.txt", 7);
        MakeReadOnly(file);
        const auto result = Clean(dir.path(), nullptr, 0, 0);
        EXPECT_EQ(result.hr, E_ACCESSDENIED);
        EXPECT_EQ(result.stats.FilesConsidered, 1u);
        EXPECT_EQ(result.stats.FoldersVisited, 1u);
        EXPECT_TRUE(fs::exists(file));
    }
    {
        TempDir dir;
        const auto file = dir.File("ro.txt", 7);
        dir.File("rw.txt", 5);
        MakeReadOnly(file);
        const auto result = Clean(dir.path(), nullptr, 0, CLEANUP_IGNORE_FILE_ERRORS);
        EXPECT_EQ(result.hr, S_OK);
        EXPECT_EQ(result.stats.FilesConsidered, 2u);
        EXPECT_EQ(result.stats.FilesRemoved, 1u);
        EXPECT_TRUE(fs::exists(file));
        EXPECT_FALSE(fs::exists(dir.path() / "rw.txt"));
    }
    {
        TempDir dir;
        const auto file = dir.File("ro.txt", 7);
        MakeReadOnly(file);
        const auto result = Clean(dir.path(), nullptr, 0, CLEANUP_DELETE_READONLY);
        EXPECT_EQ(result.hr, S_OK);
        EXPECT_EQ(result.stats.FilesRemoved, 1u);
        EXPECT_FALSE(fs::exists(file));
    }
}

TEST(CleanupWalk, EmptySubfolderIsRemovedOnlyByTheEmptyMode)
{
    for (const DWORD mode : {CLEANUP_REMOVE_EMPTY_SUBFOLDERS, CLEANUP_REMOVE_EMPTIED_SUBFOLDERS}) {
        TempDir dir;
        dir.Folder("empty");
        const auto result = Clean(dir.path(), nullptr, 0, CLEANUP_RECURSE | mode);
        ASSERT_EQ(result.hr, S_OK);
        const bool removed = mode == CLEANUP_REMOVE_EMPTY_SUBFOLDERS;
        EXPECT_EQ(fs::exists(dir.path() / "empty"), !removed);
        EXPECT_EQ(result.stats.FoldersRemoved, removed ? 1u : 0u);
        EXPECT_EQ(result.stats.FoldersVisited, 2u);
    }
}

TEST(CleanupWalk, EmptiedSubfolderIsRemovedAndPartlyEmptiedOneIsTriedSilently)
{
    for (const DWORD mode : {CLEANUP_REMOVE_EMPTY_SUBFOLDERS, CLEANUP_REMOVE_EMPTIED_SUBFOLDERS}) {
        TempDir dir;
        dir.File("all/a.log", 1);
        dir.File("all/b.log", 1);
        dir.File("some/a.log", 1);
        dir.File("some/keep.txt", 1);
        const auto result = Clean(dir.path(), L"*.log", 0, CLEANUP_RECURSE | mode);
        ASSERT_EQ(result.hr, S_OK);
        EXPECT_FALSE(fs::exists(dir.path() / "all"));
        EXPECT_TRUE(fs::exists(dir.path() / "some" / "keep.txt"));
        EXPECT_EQ(result.stats.FilesRemoved, 3u);
        EXPECT_EQ(result.stats.FoldersRemoved, 1u);
    }
}

TEST(CleanupWalk, AgedFoldersStayWhileYoung)
{
    for (const double folderAgeDays : {0.0, 3.0}) {
        TempDir dir;
        SetAgeDays(dir.File("sub/old.log", 1), 3);
        SetAgeDays(dir.path() / "sub", folderAgeDays);
        const auto result = Clean(dir.path(), nullptr, kOneDay,
                                  CLEANUP_RECURSE | CLEANUP_REMOVE_EMPTIED_SUBFOLDERS | CLEANUP_AGE_FOLDERS);
        ASSERT_EQ(result.hr, S_OK);
        EXPECT_EQ(result.stats.FilesRemoved, 1u);
        EXPECT_EQ(fs::exists(dir.path() / "sub"), folderAgeDays == 0.0);
    }
}

TEST(CleanupWalk, RootIsRemovedOnlyWhenLeftEmpty)
{
    {
        TempDir dir;
        const fs::path root = dir.Folder("root");
        dir.File("root/a.log", 1);
        const auto result = Clean(root, nullptr, 0, CLEANUP_REMOVE_ROOT);
        ASSERT_EQ(result.hr, S_OK);
        EXPECT_FALSE(fs::exists(root));
        EXPECT_EQ(result.stats.FoldersRemoved, 1u);
    }
    {
        TempDir dir;
        const fs::path root = dir.Folder("root");
        dir.File("root/a.log", 1);
        dir.File("root/b.txt", 1);
        const auto result = Clean(root, L"*.log", 0, CLEANUP_REMOVE_ROOT);
        ASSERT_EQ(result.hr, S_OK);
        EXPECT_TRUE(fs::exists(root / "b.txt"));
        EXPECT_EQ(result.stats.FoldersRemoved, 0u);
    }
}

// The root holds one old a.log and nothing else. With one pattern and no recursion the
// enumeration starts at a.log, not at "."; the root must still be aged by its own time.
TEST(CleanupWalk, AgedRootIsJudgedByItsOwnTimeWhateverTheEnumerationStartsWith)
{
    const struct {
        const wchar_t* patterns;
        DWORD recurse;
        double rootAgeDays;
    } cases[] = {
        {L"*.log", 0, 0.0},             {L"*.log", 0, 3.0},        {L"*.log", CLEANUP_RECURSE, 0.0},
        {L"*.log", CLEANUP_RECURSE, 3.0}, {L"*.log;*.tmp", 0, 0.0}, {nullptr, 0, 0.0},
        {nullptr, 0, 3.0},
    };
    for (const auto& row : cases) {
        TempDir dir;
        const fs::path root = dir.Folder("root");
        SetAgeDays(dir.File("root/a.log", 1), 3);
        SetAgeDays(root, row.rootAgeDays);
        const auto result = Clean(root, row.patterns, kOneDay, row.recurse | CLEANUP_REMOVE_ROOT | CLEANUP_AGE_FOLDERS);
        const std::string label = testing::PrintToString(row.patterns ? std::wstring(row.patterns) : L"(null)") +
                                  " recurse=" + std::to_string(row.recurse) + " age=" + std::to_string(row.rootAgeDays);
        ASSERT_EQ(result.hr, S_OK) << label;
        EXPECT_EQ(result.stats.FilesRemoved, 1u) << label;
        const bool old = row.rootAgeDays > 1.0;
        EXPECT_EQ(fs::exists(root), !old) << label;
        EXPECT_EQ(result.stats.FoldersRemoved, old ? 1u : 0u) << label;
    }
}

TEST(CleanupWalk, DotEntriesAreNeverEnteredOrCounted)
{
    TempDir dir;
    dir.File("sub/x", 1);
    const auto outside = dir.File("outside", 1);
    const auto result = Clean(dir.path() / "sub", nullptr, 0, CLEANUP_RECURSE | CLEANUP_REMOVE_EMPTY_SUBFOLDERS);
    EXPECT_TRUE(fs::exists(outside));
    ASSERT_EQ(result.hr, S_OK);
    EXPECT_EQ(result.stats.FilesConsidered, 1u);
    EXPECT_EQ(result.stats.FoldersVisited, 1u);
    EXPECT_EQ(result.stats.FoldersRemoved, 0u);
    EXPECT_TRUE(fs::exists(dir.path() / "sub"));
}

// Denied folders need a real denial: the child runs as an unprivileged user.
struct DeniedCase {
    fs::path root;
    DWORD flags;
};

int CleanDenied(void* context)
{
    const auto* c = static_cast<const DeniedCase*>(context);
    const auto result = Clean(c->root, nullptr, 0, c->flags);
    if (result.hr == E_ACCESSDENIED) {
        return 1;
    }
    return result.hr == S_OK && result.stats.FoldersVisited == 2 && result.stats.FilesRemoved == 2 ? 0 : 2;
}

TEST(CleanupWalk, DeniedFolder)
{
    TempDir dir;
    const fs::path root = dir.Folder("root");
    dir.File("root/a/x", 1);
    dir.File("root/b", 1);
    dir.File("root/denied/y", 1);
    testing_support::GiveTreeToUnprivilegedUser(dir.path());
    fs::permissions(root / "denied", fs::perms::none);
    DeniedCase ignored{root, CLEANUP_RECURSE | CLEANUP_IGNORE_FOLDER_ERRORS};
    const int withIgnore = testing_support::RunUnprivileged(CleanDenied, &ignored);
    if (withIgnore == -1) {
        GTEST_SKIP() << "this platform cannot run the cleanup as an unprivileged user";
    }
    EXPECT_EQ(withIgnore, 0);
    fs::permissions(root / "denied", fs::perms::owner_all);
    dir.File("root/a/x", 1);
    dir.File("root/b", 1);
    testing_support::GiveTreeToUnprivilegedUser(dir.path());
    fs::permissions(root / "denied", fs::perms::none);
    DeniedCase strict{root, CLEANUP_RECURSE};
    EXPECT_EQ(testing_support::RunUnprivileged(CleanDenied, &strict), 1);
    fs::permissions(root / "denied", fs::perms::owner_all);
    EXPECT_TRUE(fs::exists(root / "denied" / "y"));
}

TEST(CleanupWalk, BudgetRunningOutDeepKeepsTheFoldersOnTheWayUp)
{
    TempDir dir;
    std::string path = "root";
    for (int level = 0; level < 40; ++level) {
        path += "/d" + std::to_string(level);
        for (int file = 0; file < 100; ++file) {
            dir.File(path + "/f" + std::to_string(file), 1);
        }
    }
    const fs::path root = dir.path() / "root";
    const auto result = Clean(root, nullptr, 0,
                              CLEANUP_RECURSE | CLEANUP_REMOVE_EMPTY_SUBFOLDERS | CLEANUP_REMOVE_ROOT, 1);
    ASSERT_EQ(result.hr, kHrTimeout);
    EXPECT_LT(result.stats.FilesRemoved, 4000u);
    EXPECT_EQ(result.stats.FoldersRemoved, 0u);
    EXPECT_TRUE(fs::exists(root / "d0"));
    EXPECT_GE(result.stats.ElapsedTimeMs, 1u);
}

} // namespace
