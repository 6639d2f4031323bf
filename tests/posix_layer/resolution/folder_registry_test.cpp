// The safety core of the enumeration and file calls on real trees: enumerations parked under a
// low descriptor limit and resumed (or refused when their folder was swapped), a subfolder or an
// entry swapped for a link to an outside folder, a 16,000-level tree walked and deleted the way
// the cleanup engine does it, paths far beyond PATH_MAX and holding more links than the kernel
// follows in one lookup, enumerations reached through links, and several threads walking at once.
#include "platform/platform.h"
#include "posix_layer/find_first.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "support/test_support.h"

namespace {
namespace fs = std::filesystem;

std::wstring Wide(const fs::path& path)
{
    return platform::WideFromBytes(path.string());
}

unsigned long long SizeOf(const WIN32_FIND_DATAW& data)
{
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

size_t OpenDescriptorCount()
{
    size_t count = 0;
    for ([[maybe_unused]] const auto& item : fs::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

// Lowers the soft descriptor limit for one test, so that enumerations get parked early.
class LowDescriptorLimit {
public:
    explicit LowDescriptorLimit(rlim_t soft)
    {
        getrlimit(RLIMIT_NOFILE, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = soft;
        setrlimit(RLIMIT_NOFILE, &lowered);
    }
    ~LowDescriptorLimit() { setrlimit(RLIMIT_NOFILE, &saved_); }
    LowDescriptorLimit(const LowDescriptorLimit&) = delete;
    LowDescriptorLimit& operator=(const LowDescriptorLimit&) = delete;

private:
    rlimit saved_ {};
};

TEST(ParkedEnumerations, ResumeFromMemoryWithFreshData)
{
    testing_support::TempDir dir;
    constexpr int kFiles = 500;
    for (int i = 0; i < kFiles; ++i) {
        dir.File("big/f" + std::to_string(i), static_cast<size_t>(i));
    }
    constexpr int kOthers = 40;
    for (int i = 0; i < kOthers; ++i) {
        dir.File("other" + std::to_string(i) + "/x");
    }
    const LowDescriptorLimit limit(256); // a budget of 16 enumerations
    const std::wstring root = Wide(dir.path());
    WIN32_FIND_DATAW data {};
    const HANDLE big = FindFirstFileW((root + L"/big/f*").c_str(), &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, big);
    std::set<std::wstring> seen {data.cFileName};
    for (int i = 0; i < 9; ++i) {
        ASSERT_TRUE(FindNextFileW(big, &data));
        seen.insert(data.cFileName);
    }
    // Enough other open enumerations to park "big"; at most 16 keep a descriptor.
    const size_t descriptorsBefore = OpenDescriptorCount();
    std::vector<HANDLE> others;
    for (int i = 0; i < kOthers; ++i) {
        others.push_back(FindFirstFileW((root + L"/other" + std::to_wstring(i) + L"/*").c_str(), &data));
        ASSERT_NE(INVALID_HANDLE_VALUE, others.back());
    }
    EXPECT_LE(OpenDescriptorCount(), descriptorsBefore + 15);
    // A file removed meanwhile is passed over; a size changed meanwhile is read fresh.
    const std::string bigPath = dir.path().string() + "/big/";
    std::vector<int> unseen;
    for (int i = 0; i < kFiles; ++i) {
        if (seen.count(L"f" + std::to_wstring(i)) == 0) {
            unseen.push_back(i);
        }
    }
    const int removed = unseen[0];
    const int changed = unseen[1];
    ASSERT_EQ(0, unlink((bigPath + "f" + std::to_string(removed)).c_str()));
    ASSERT_EQ(0, truncate((bigPath + "f" + std::to_string(changed)).c_str(), 7777));
    bool changedSeen = false;
    while (FindNextFileW(big, &data)) {
        const std::wstring name = data.cFileName;
        EXPECT_TRUE(seen.insert(name).second);
        const int index = std::stoi(name.substr(1));
        changedSeen |= index == changed;
        EXPECT_EQ(index == changed ? 7777ULL : static_cast<unsigned long long>(index), SizeOf(data));
    }
    EXPECT_TRUE(changedSeen);
    EXPECT_EQ(ERROR_NO_MORE_FILES, GetLastError());
    EXPECT_EQ(static_cast<size_t>(kFiles - 1), seen.size());
    EXPECT_EQ(0u, seen.count(L"f" + std::to_wstring(removed)));
    for (const HANDLE other : others) {
        EXPECT_TRUE(FindClose(other));
    }
    EXPECT_TRUE(FindClose(big));
}

TEST(ParkedEnumerations, AreReopenedThroughAnOpenAncestor)
{
    testing_support::TempDir dir;
    for (int i = 0; i < 20; ++i) {
        dir.File("tree/big/f" + std::to_string(i));
    }
    constexpr int kOthers = 40;
    for (int i = 0; i < kOthers; ++i) {
        dir.Folder("other" + std::to_string(i));
    }
    const LowDescriptorLimit limit(256);
    const std::wstring tree = Wide(dir.path() / "tree");
    WIN32_FIND_DATAW data {};
    const HANDLE big = FindFirstFileW((tree + L"/big/f*").c_str(), &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, big);
    std::vector<HANDLE> others;
    for (int i = 0; i < kOthers; ++i) {
        others.push_back(FindFirstFileW((Wide(dir.path()) + L"/other" + std::to_wstring(i) + L"/*").c_str(), &data));
    }
    const HANDLE ancestor = FindFirstFileW((tree + L"/*").c_str(), &data); // opened last: kept open
    ASSERT_NE(INVALID_HANDLE_VALUE, ancestor);
    // Once the tree has moved, "big" can only be found again from the ancestor's descriptor.
    fs::rename(dir.path() / "tree", dir.path() / "moved");
    int count = 1;
    while (FindNextFileW(big, &data)) {
        ++count;
    }
    EXPECT_EQ(ERROR_NO_MORE_FILES, GetLastError());
    EXPECT_EQ(20, count);
    for (const HANDLE other : others) {
        FindClose(other);
    }
    FindClose(ancestor);
    FindClose(big);
}

// The parked folder is replaced by another folder of the same name. An eager enumeration, which
// stats every entry, stops with the swap's error; a lazy one hands out the records it holds, and
// completing one fails with that error instead of passing for done.
TEST(ParkedEnumerations, AreNotResumedWhenTheirFolderWasSwapped)
{
    for (const DWORD flags : {DWORD{0}, platform::kFindLazyData}) {
        testing_support::TempDir dir;
        for (int i = 0; i < 20; ++i) {
            dir.File("victim/f" + std::to_string(i));
        }
        constexpr int kOthers = 40;
        for (int i = 0; i < kOthers; ++i) {
            dir.Folder("other" + std::to_string(i));
        }
        const LowDescriptorLimit limit(256);
        const std::wstring root = Wide(dir.path());
        WIN32_FIND_DATAW data {};
        const HANDLE victim = FindFirstFileExW((root + L"/victim/f*").c_str(), FindExInfoBasic, &data,
                                               FindExSearchNameMatch, nullptr, flags);
        ASSERT_NE(INVALID_HANDLE_VALUE, victim);
        std::vector<HANDLE> others;
        for (int i = 0; i < kOthers; ++i) {
            others.push_back(FindFirstFileW((root + L"/other" + std::to_wstring(i) + L"/*").c_str(), &data));
        }
        fs::rename(dir.path() / "victim", dir.path() / "moved");
        dir.File("victim/f19");
        if (flags == 0) {
            EXPECT_FALSE(FindNextFileW(victim, &data));
        } else {
            ASSERT_TRUE(FindNextFileW(victim, &data)) << GetLastError();
            EXPECT_EQ(L'f', data.cFileName[0]);
            EXPECT_FALSE(platform::CompleteFindData(victim, &data));
        }
        EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError()) << flags;
        for (const HANDLE other : others) {
            FindClose(other);
        }
        FindClose(victim);
    }
}

// A folder holding a link to itself, enumerated through ever more of that link the way a finder
// that follows links does, under a budget of 16 descriptors. Parked levels hand out their records
// without a descriptor, and a level that must be reopened (to stat the link entry, to complete an
// entry) is found again following the links, from an open ancestor or from outside, also beyond
// the 40 links that one lookup of the kernel follows.
TEST(ParkedEnumerations, ReachedThroughManyLinksKeepEveryEntry)
{
    testing_support::TempDir dir;
    constexpr int kFiles = 20;
    for (int i = 0; i < kFiles; ++i) {
        dir.File("x/f" + std::to_string(i), 5);
    }
    fs::create_directory_symlink(".", dir.path() / "x" / "loop");
    const std::wstring top = Wide(dir.path() / "x");
    constexpr DWORD kFlags = platform::kFindFollowLinks | platform::kFindLazyData;
    const auto enumerate = [](const std::wstring& folder, WIN32_FIND_DATAW& data) {
        return FindFirstFileExW((folder + L"/*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, kFlags);
    };
    const LowDescriptorLimit limit(256);
    for (const bool ancestorOpen : {false, true}) {
        WIN32_FIND_DATAW data {};
        std::vector<HANDLE> levels; // levels[k - 1]: the folder behind k links
        std::wstring path = top;
        for (int k = 1; k <= 60; ++k) {
            path += L"/loop";
            levels.push_back(enumerate(path, data));
            ASSERT_NE(INVALID_HANDLE_VALUE, levels.back()) << k << " links, error " << GetLastError();
        }
        // Opened last, the folder itself keeps its descriptor.
        const HANDLE ancestor = ancestorOpen ? enumerate(top, data) : INVALID_HANDLE_VALUE;
        for (size_t k = levels.size(); k > 0; --k) { // deepest first, as a walk goes back up
            int files = 0;
            unsigned long long bytes = 0;
            while (FindNextFileW(levels[k - 1], &data)) {
                if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                    ++files;
                    EXPECT_TRUE(platform::CompleteFindData(levels[k - 1], &data)) << GetLastError();
                    bytes += SizeOf(data);
                }
            }
            EXPECT_EQ(ERROR_NO_MORE_FILES, GetLastError()) << k << " links";
            EXPECT_EQ(kFiles, files) << k << " links";
            EXPECT_EQ(kFiles * 5ULL, bytes) << k << " links";
            FindClose(levels[k - 1]);
        }
        if (ancestorOpen) {
            FindClose(ancestor);
        }
    }
}


// Creates `depth` nested folders named `name` below `root`, with a file "f" in every folder but
// the deepest, through descriptors (the paths are far too long for path-based calls).
void MakeChain(const fs::path& root, int depth, const char* name)
{
    int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    for (int level = 0; level < depth; ++level) {
        const int file = openat(fd, "f", O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        ASSERT_GE(file, 0);
        close(file);
        ASSERT_EQ(0, mkdirat(fd, name, 0755));
        const int next = openat(fd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ASSERT_GE(next, 0);
        close(fd);
        fd = next;
    }
    close(fd);
}

struct WalkResult {
    int files = 0;
    int folders = 0;
    int failures = 0;
    DWORD firstError = 0;
    size_t maxDescriptors = 0; // sampled every 500 levels
};

// Deletes everything below `root` in the cleanup engine's order: every level's enumeration stays
// open while the walk is below it, entries are deleted while their folder is being enumerated,
// and a folder is removed with a trailing separator before its own enumeration is closed.
// Iterative, so that any depth fits the stack.
WalkResult RemoveBelow(const std::wstring& root)
{
    WalkResult result;
    const auto check = [&result](BOOL ok) {
        if (!ok && result.failures++ == 0) {
            result.firstError = GetLastError();
        }
        return ok;
    };
    std::wstring path = root;
    std::vector<std::pair<HANDLE, size_t>> levels; // each open folder and its path length
    WIN32_FIND_DATAW data {};
    const auto open = [&] {
        const HANDLE find = FindFirstFileExW((path + L"/*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                             nullptr, FIND_FIRST_EX_LARGE_FETCH);
        if (!check(find != INVALID_HANDLE_VALUE)) {
            return false;
        }
        levels.emplace_back(find, path.size());
        if (levels.size() % 500 == 0) {
            result.maxDescriptors = std::max(result.maxDescriptors, OpenDescriptorCount());
        }
        return true;
    };
    bool have = open();
    while (!levels.empty()) {
        if (!have) {
            path.resize(levels.back().second);
            if (levels.size() > 1) {
                result.folders += check(RemoveDirectoryW((path + L"/").c_str()));
            }
            FindClose(levels.back().first);
            levels.pop_back();
            if (!levels.empty()) {
                path.resize(levels.back().second);
                have = FindNextFileW(levels.back().first, &data);
            }
            continue;
        }
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") {
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                path += L"/" + name;
                have = open();
                if (!have) {
                    path.resize(levels.back().second);
                    have = FindNextFileW(levels.back().first, &data);
                }
                continue;
            }
            result.files += check(DeleteFileW((path + L"/" + name).c_str()));
        }
        have = FindNextFileW(levels.back().first, &data);
    }
    return result;
}

// The engine walks 16,000 levels in its own tests; here a chain deep enough to park most of
// its enumerations under a low descriptor limit, kept in memory so that it never waits on a disk.
TEST(DeepTrees, ThousandsOfLevelsWithALowDescriptorLimit)
{
    testing_support::TempDir dir(true);
    constexpr int kDepth = 4000;
    MakeChain(dir.path(), kDepth, "d");
    const size_t descriptorsBefore = OpenDescriptorCount();
    WalkResult result;
    {
        const LowDescriptorLimit limit(256);
        result = RemoveBelow(Wide(dir.path()));
    }
    EXPECT_EQ(0, result.failures) << "first error " << result.firstError;
    EXPECT_EQ(kDepth, result.files);
    EXPECT_EQ(kDepth, result.folders);
    EXPECT_LE(result.maxDescriptors, descriptorsBefore + 16);
    EXPECT_EQ(descriptorsBefore, OpenDescriptorCount());
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(DeepTrees, PathsBeyondPathMaxOutsideAnyEnumeration)
{
    testing_support::TempDir dir(true);
    constexpr int kDepth = 2000;
    MakeChain(dir.path(), kDepth, "dir");
    std::wstring deep = Wide(dir.path());
    for (int level = 0; level < kDepth; ++level) {
        deep += L"/dir";
    }
    ASSERT_GT(deep.size(), static_cast<size_t>(PATH_MAX));
    const std::wstring parent = deep.substr(0, deep.size() - 4);
    EXPECT_FALSE(DeleteFileW((deep + L"/missing/x").c_str()));
    EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());

    WIN32_FIND_DATAW data {};
    const HANDLE find = FindFirstFileW((parent + L"/*").c_str(), &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    std::set<std::wstring> names {data.cFileName};
    while (FindNextFileW(find, &data)) {
        names.insert(data.cFileName);
    }
    FindClose(find);
    EXPECT_EQ((std::set<std::wstring> {L".", L"..", L"dir", L"f"}), names);

    EXPECT_TRUE(SetFileAttributesW((parent + L"/f").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(DeleteFileW((parent + L"/f").c_str()));
    EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_TRUE(SetFileAttributesW((parent + L"/f").c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(DeleteFileW((parent + L"/f").c_str()));
    EXPECT_TRUE(RemoveDirectoryW((deep + L"/").c_str()));
    EXPECT_FALSE(RemoveDirectoryW(deep.c_str()));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());

    const WalkResult result = RemoveBelow(Wide(dir.path()));
    EXPECT_EQ(0, result.failures) << "first error " << result.firstError;
    EXPECT_EQ(kDepth - 1, result.files);
    EXPECT_EQ(kDepth - 1, result.folders);
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

BY_HANDLE_FILE_INFORMATION InformationOf(const std::wstring& path)
{
    BY_HANDLE_FILE_INFORMATION information {};
    const HANDLE file = CreateFileW(path.c_str(), 0, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                    nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, file) << GetLastError();
    EXPECT_TRUE(GetFileInformationByHandle(file, &information));
    CloseHandle(file);
    return information;
}

// Outside every enumeration the kernel resolves a path whole and follows at most 40 links in it;
// a path holding more is resolved a piece at a time, and a real cycle of links still fails.
TEST(DeepTrees, PathsHoldingMoreLinksThanOneLookupFollows)
{
    testing_support::TempDir dir;
    dir.File("x/f", 1);
    fs::create_directory_symlink(".", dir.path() / "x" / "loop");
    fs::create_directory_symlink("b", dir.path() / "x" / "a");
    fs::create_directory_symlink("a", dir.path() / "x" / "b");
    std::wstring path = Wide(dir.path() / "x");
    for (int k = 0; k < 60; ++k) {
        path += L"/loop";
    }
    WIN32_FIND_DATAW data {};
    const HANDLE find = FindFirstFileW((path + L"/*").c_str(), &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, find) << GetLastError();
    std::set<std::wstring> names {data.cFileName};
    while (FindNextFileW(find, &data)) {
        names.insert(data.cFileName);
    }
    FindClose(find);
    EXPECT_EQ((std::set<std::wstring> {L".", L"..", L"a", L"b", L"f", L"loop"}), names);

    const BY_HANDLE_FILE_INFORMATION behind = InformationOf(path);
    const BY_HANDLE_FILE_INFORMATION folder = InformationOf(Wide(dir.path() / "x"));
    EXPECT_EQ(folder.dwVolumeSerialNumber, behind.dwVolumeSerialNumber);
    EXPECT_EQ(folder.nFileIndexLow, behind.nFileIndexLow);
    EXPECT_EQ(folder.nFileIndexHigh, behind.nFileIndexHigh);

    EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileW((path + L"/a/*").c_str(), &data));
    EXPECT_EQ(ERROR_CANT_RESOLVE_FILENAME, GetLastError());
}

// Enumerations opened one below the other share their path text: one opened beside a deeper one
// that is still open must leave that one's path alone, and later ones may take the place again.
TEST(DeepTrees, SiblingEnumerationsKeepTheirOwnPaths)
{
    testing_support::TempDir dir;
    for (const char* name : {"a/b/x", "a/c/x", "a/c/y"}) {
        dir.File(name, 1);
    }
    const std::wstring a = Wide(dir.path() / "a");
    WIN32_FIND_DATAW data {};
    const HANDLE top = FindFirstFileW((a + L"/*").c_str(), &data);
    const HANDLE b = FindFirstFileW((a + L"/b/*").c_str(), &data);
    const HANDLE c = FindFirstFileW((a + L"/c/*").c_str(), &data);
    EXPECT_TRUE(DeleteFileW((a + L"/b/x").c_str()));
    EXPECT_FALSE(fs::exists(dir.path() / "a/b/x"));
    EXPECT_TRUE(fs::exists(dir.path() / "a/c/x"));
    FindClose(c);
    FindClose(b);
    const HANDLE again = FindFirstFileW((a + L"/c/*").c_str(), &data);
    EXPECT_TRUE(DeleteFileW((a + L"/c/y").c_str()));
    EXPECT_FALSE(fs::exists(dir.path() / "a/c/y"));
    EXPECT_TRUE(fs::exists(dir.path() / "a/c/x"));
    FindClose(again);
    FindClose(top);
}

TEST(DeepTrees, ThreadsWalkAtTheSameTime)
{
    testing_support::TempDir dir;
    constexpr int kThreads = 4;
    constexpr int kDepth = 300;
    for (int i = 0; i < kThreads; ++i) {
        MakeChain(dir.Folder("t" + std::to_string(i)), kDepth, "d");
    }
    const LowDescriptorLimit limit(256);
    std::vector<WalkResult> results(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] { results[i] = RemoveBelow(Wide(dir.path() / ("t" + std::to_string(i)))); });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (const WalkResult& result : results) {
        EXPECT_EQ(0, result.failures) << "first error " << result.firstError;
        EXPECT_EQ(kDepth, result.files);
        EXPECT_EQ(kDepth, result.folders);
    }
}

class SwappedForALink : public testing::Test {
protected:
    void SetUp() override
    {
        dir_.File("root/sub/x", 1);
        dir_.Folder("root/sub/inner");
        dir_.File("root/f", 1);
        dir_.File("outside/x", 1);
        dir_.File("outside/inner/y", 1);
        root_ = Wide(dir_.path() / "root");
        outsideMode_ = Mode("outside/x");
    }
    // Replaces root/<name> by a symbolic link to the outside folder (or to outside/x).
    void Swap(const char* name, const char* target)
    {
        fs::rename(dir_.path() / "root" / name, dir_.path() / "root" / (std::string(name) + "-moved"));
        fs::create_symlink(dir_.path() / target, dir_.path() / "root" / name);
    }
    mode_t Mode(const char* relative) const
    {
        struct stat info {};
        EXPECT_EQ(0, lstat((dir_.path() / relative).c_str(), &info));
        return info.st_mode;
    }
    void ExpectOutsideUntouched() const
    {
        EXPECT_TRUE(fs::exists(dir_.path() / "outside/x"));
        EXPECT_TRUE(fs::exists(dir_.path() / "outside/inner/y"));
        EXPECT_EQ(outsideMode_, Mode("outside/x"));
    }
    HANDLE Enumerate(const std::wstring& folder)
    {
        const HANDLE find = FindFirstFileW((folder + L"/*").c_str(), &data_);
        EXPECT_NE(INVALID_HANDLE_VALUE, find);
        return find;
    }

    testing_support::TempDir dir_;
    std::wstring root_;
    mode_t outsideMode_ = 0;
    WIN32_FIND_DATAW data_ {};
};

TEST_F(SwappedForALink, ASubfolderSwappedAfterTheRootWasEnumeratedIsNeverEntered)
{
    const HANDLE root = Enumerate(root_);
    Swap("sub", "outside");
    const std::wstring sub = root_ + L"/sub";
    EXPECT_FALSE(DeleteFileW((sub + L"/x").c_str()));
    EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());
    EXPECT_FALSE(SetFileAttributesW((sub + L"/x").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());
    EXPECT_FALSE(RemoveDirectoryW((sub + L"/inner/").c_str()));
    EXPECT_FALSE(DeleteFileW((sub + L"/inner/y").c_str()));
    EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileW((sub + L"/*").c_str(), &data_));
    EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());
    // The link itself is an entry of the root like any other file.
    EXPECT_FALSE(RemoveDirectoryW((sub + L"/").c_str()));
    EXPECT_TRUE(DeleteFileW(sub.c_str()));
    FindClose(root);
    ExpectOutsideUntouched();
}

TEST_F(SwappedForALink, ASubfolderSwappedWhileItIsEnumeratedStaysTheFolderThatWasOpened)
{
    const HANDLE root = Enumerate(root_);
    const HANDLE sub = Enumerate(root_ + L"/sub");
    Swap("sub", "outside");
    // The calls act in the folder whose enumeration is open, wherever it has been moved.
    EXPECT_TRUE(DeleteFileW((root_ + L"/sub/x").c_str()));
    EXPECT_FALSE(fs::exists(dir_.path() / "root/sub-moved/x"));
    EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileW((root_ + L"/sub/inner/y").c_str(), &data_));
    EXPECT_TRUE(RemoveDirectoryW((root_ + L"/sub/inner/").c_str()));
    EXPECT_FALSE(fs::exists(dir_.path() / "root/sub-moved/inner"));
    FindClose(sub);
    FindClose(root);
    ExpectOutsideUntouched();
}

TEST_F(SwappedForALink, AnEnumeratedFileSwappedForALinkOnlyLosesTheLink)
{
    const HANDLE root = Enumerate(root_);
    while (std::wstring(data_.cFileName) != L"f") {
        ASSERT_TRUE(FindNextFileW(root, &data_));
    }
    Swap("f", "outside/x");
    // The mode read by the enumeration is a plain writable file's; the link's target is never changed.
    EXPECT_FALSE(SetFileAttributesW((root_ + L"/f").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(DeleteFileW((root_ + L"/f").c_str()));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir_.path() / "root/f")));
    FindClose(root);
    ExpectOutsideUntouched();
}

} // namespace
