// SearchTree in process: counts at every concurrency, folders never matched, the status rules,
// deep chains at every limit, link loops (bind mounts among them), and the elapsed-time figures.
#include "tools/Findle/directory_search.h"
#include "tools/Findle/long_path.h"
#include "tools/Findle/search_statistics.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "support/private_mounts.h"
#include "support/test_support.h"

#if !defined(_WIN32)
#include <sys/mount.h>
#include <sys/stat.h>
#endif

namespace {

using testing_support::TempDir;

struct Search {
    HRESULT status;
    SearchResults results;
};

Search RunSearch(const std::filesystem::path& folder, const wchar_t* pattern, DWORD limit)
{
    PathBuffer longForm;
    EXPECT_EQ(ResolveFullPath(folder.wstring().c_str(), longForm), S_OK);
    Search search{};
    search.status = SearchTree(longForm.get(), pattern, limit, search.results);
    return search;
}

TEST(SearchTree, EmptyFolder)
{
    TempDir tree;
    for (DWORD limit : {1u, 1024u}) {
        const Search search = RunSearch(tree.path(), L"*", limit);
        EXPECT_EQ(search.status, S_OK);
        EXPECT_EQ(search.results.filesConsidered, 0);
        EXPECT_EQ(search.results.filesMatched, 0);
        EXPECT_EQ(search.results.matchedBytes, 0);
        EXPECT_EQ(search.results.foldersVisited, 1);
    }
}

TEST(SearchTree, SameCountsAtEveryConcurrency)
{
    TempDir tree;
    // 3 levels of 6 folders (259 folders with the root), files whose names and folders' names
    // both look like matches; hidden-style names count like any other.
    int files = 0;
    long long logBytes = 0;
    for (int a = 0; a < 6; ++a) {
        for (int b = 0; b < 6; ++b) {
            for (int c = 0; c < 6; ++c) {
                const std::string folder = "d" + std::to_string(a) + ".log/e" + std::to_string(b) + "/f" + std::to_string(c);
                tree.File(folder + "/x.log", 10);
                tree.File(folder + "/.hidden.LOG", 3);
                tree.File(folder + "/y.txt", 7);
                files += 3;
                logBytes += 13;
            }
        }
    }
    for (DWORD limit : {1u, 2u, 3u, 1024u}) {
        const Search search = RunSearch(tree.path(), L"*.log", limit);
        EXPECT_EQ(search.status, S_OK) << limit;
        EXPECT_EQ(search.results.filesConsidered, files) << limit;
        EXPECT_EQ(search.results.filesMatched, files / 3 * 2) << limit;
        EXPECT_EQ(search.results.matchedBytes, logBytes) << limit;
        EXPECT_EQ(search.results.foldersVisited, 1 + 6 + 36 + 216) << limit;
    }
}

TEST(SearchTree, MissingFolderIsPathNotFound)
{
    TempDir tree;
    for (DWORD limit : {1u, 1024u}) {
        SearchResults results;
        results.filesConsidered = 5; // written when the search ran
        PathBuffer longForm;
        ASSERT_EQ(ResolveFullPath((tree.path() / "missing").wstring().c_str(), longForm), S_OK);
        EXPECT_EQ(SearchTree(longForm.get(), L"*", limit, results), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
        EXPECT_EQ(results.filesConsidered, 0);
        EXPECT_EQ(results.foldersVisited, 0);
    }
}

// Depth alone never ends a branch: chains deeper than a thread's stack would hold one call per
// level are searched completely, in place (limit 1) and with hand-offs alike. Wine resolves each
// path one component at a time, so there the deeper chain would take minutes: it is left out.
TEST(SearchTree, DeepChainsAreSearchedCompletelyAtEveryLimit)
{
    for (const int depth : {300, 1000}) {
        if (depth > 300 && testing_support::RunningUnderWine()) {
            continue;
        }
        TempDir tree(true); // in memory: quick to make and remove
        std::string relative;
        for (int level = 1; level <= depth; ++level) {
            relative += "d/";
            tree.File(relative + "f.txt", 1);
        }
        for (DWORD limit : {1u, 2u, 1024u}) {
            const Search search = RunSearch(tree.path(), L"*", limit);
            EXPECT_EQ(search.status, S_OK) << depth << " levels, limit " << limit;
            EXPECT_EQ(search.results.foldersVisited, depth + 1) << depth << " levels, limit " << limit;
            EXPECT_EQ(search.results.filesMatched, depth) << depth << " levels, limit " << limit;
        }
    }
}

// Folder links are entered, but never one that leads to a folder on the current path: that
// branch ends with 0x80070781, and the rest of the tree is still searched, at every limit. The
// tree: r.txt, a/f1, a/b/f2 and c/f3, with the links of each case.
TEST(SearchTree, LinkLoopsEndTheirBranchOnly)
{
    constexpr HRESULT kLinkLoop = static_cast<HRESULT>(0x80070781);
    const struct {
        const char* name;
        std::vector<std::pair<std::string, std::string>> links; // the link, and its target as written
        HRESULT status;
        LONG files;
        LONG folders;
    } cases[] = {
        {"two links to their own folder", {{"l1", "."}, {"l2", "."}}, kLinkLoop, 4, 4},
        {"a link to the starting folder, two levels down", {{"a/b/up", "../.."}}, kLinkLoop, 4, 4},
        {"links beside the path: c reached three ways", {{"x", "c"}, {"a/b/side", "../../c"}}, S_OK, 6, 6},
        {"a loop met inside an entered link", {{"x", "a"}, {"a/b/up", "../.."}}, kLinkLoop, 6, 6},
    };
    for (const auto& c : cases) {
        TempDir tree;
        for (const char* file : {"r.txt", "a/f1", "a/b/f2", "c/f3"}) {
            tree.File(file, 1);
        }
        for (const auto& [link, target] : c.links) {
            const std::string unavailable = testing_support::MakeFolderLink(tree.path() / link, target);
            if (!unavailable.empty()) {
                GTEST_SKIP() << unavailable;
            }
        }
        for (DWORD limit : {1u, 2u, 1024u}) {
            const Search search = RunSearch(tree.path(), L"*", limit);
            EXPECT_EQ(search.status, c.status) << c.name << ", limit " << limit;
            EXPECT_EQ(search.results.filesMatched, c.files) << c.name << ", limit " << limit;
            EXPECT_EQ(search.results.foldersVisited, c.folders) << c.name << ", limit " << limit;
        }
    }
}

#if !defined(_WIN32)
// A bind mount is a folder link to the search: one of the starting folder two levels down ends
// its branch with the loop status, one of a folder beside the path is entered. A link to another
// file system whose root has the starting folder's inode number (two fresh tmpfs both number
// their root 1) is no loop: identities hold the device too.
TEST(SearchTree, BindMountsFollowTheLinkRulesAndIdentitiesHoldTheDevice)
{
    constexpr HRESULT kLinkLoop = static_cast<HRESULT>(0x80070781);
    TempDir tree;
    for (const char* file : {"r.txt", "a/f1", "a/b/f2", "c/f3"}) {
        tree.File(file, 1);
    }
    const std::filesystem::path up = tree.Folder("a/b/up");
    const std::filesystem::path beside = tree.Folder("x");
    const std::filesystem::path one = tree.Folder("fs/one");
    const std::filesystem::path two = tree.Folder("fs/two");
    bool failed = false;
    const std::string refused = testing_support::RunWithPrivateMounts(
        [&] {
            ASSERT_TRUE(testing_support::Mount(tree.path(), up));
            // One thread: the child of a fork has none of the pool's.
            const Search loop = RunSearch(tree.path(), L"*", 1);
            EXPECT_EQ(loop.status, kLinkLoop);
            EXPECT_EQ(loop.results.filesMatched, 4);
            ASSERT_EQ(umount(up.c_str()), 0);
            std::filesystem::remove(up);
            ASSERT_TRUE(testing_support::Mount(tree.path() / "c", beside));
            const Search entered = RunSearch(tree.path(), L"*", 1);
            EXPECT_EQ(entered.status, S_OK);
            EXPECT_EQ(entered.results.filesMatched, 5);

            ASSERT_TRUE(testing_support::Mount("orvo-one", one, "tmpfs"));
            ASSERT_TRUE(testing_support::Mount("orvo-two", two, "tmpfs"));
            std::ofstream(one / "f1") << "x";
            std::ofstream(two / "f2") << "x";
            ASSERT_EQ(testing_support::MakeFolderLink(one / "link", two), "");
            struct stat oneInfo {};
            struct stat twoInfo {};
            ASSERT_EQ(stat(one.c_str(), &oneInfo), 0);
            ASSERT_EQ(stat(two.c_str(), &twoInfo), 0);
            EXPECT_EQ(oneInfo.st_ino, twoInfo.st_ino) << "the case needs equal inode numbers";
            const Search other = RunSearch(one, L"*", 1);
            EXPECT_EQ(other.status, S_OK);
            EXPECT_EQ(other.results.filesMatched, 2);
            EXPECT_EQ(other.results.foldersVisited, 2);
        },
        failed);
    if (!refused.empty()) {
        GTEST_SKIP() << refused;
    }
    EXPECT_FALSE(failed) << "the failures are printed above";
}
#endif

TEST(ComputeElapsed, RoundsHalfUpAndNeverOverflows)
{
    SearchResults results;
    results.filesConsidered = 3;
    results.foldersVisited = 1;
    const struct {
        ULONGLONG ticks;
        double frequency;
        DWORD milliseconds;
        LONG itemsPerSecond;
    } cases[] = {
        {4, 10000.0, 0, 10000},        // 0.0004 s
        {6, 10000.0, 1, 6667},         // 0.0006 s: 6666.67 + 0.5
        {10000, 10000.0, 1000, 4},     // 1 s
        {0, 10000.0, 0, 0},            // nothing measurable: no rate
        {1, 1e12, 0, INT_MAX},         // a rate beyond 32 bits is held at its end
    };
    for (const auto& c : cases) {
        const ElapsedFigures figures = ComputeElapsed(c.ticks, c.frequency, results);
        EXPECT_EQ(figures.milliseconds, c.milliseconds) << c.ticks;
        EXPECT_EQ(figures.itemsPerSecond, c.itemsPerSecond) << c.ticks;
        EXPECT_DOUBLE_EQ(figures.seconds, static_cast<double>(c.ticks) / c.frequency);
    }
}

} // namespace
