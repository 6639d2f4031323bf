// Path functions on POSIX paths: canonicalization and its length limits, the appended separator,
// full paths against the current folder, the current and temporary folders, folder tests.
#include "platform/platform.h"
#include "scoped_environment.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using testing_support::ScopedEnvironment;
using testing_support::TempDir;

constexpr DWORD kSentinel = 0xDEAD;
constexpr HRESULT kNameTooLong = static_cast<HRESULT>(0x800700CE);
constexpr HRESULT kInsufficientBuffer = static_cast<HRESULT>(0x8007007A);

std::wstring Wide(const std::string& bytes)
{
    return platform::WideFromBytes(bytes);
}

// Makes `folder` the current folder for the life of the object.
class ScopedCurrentFolder {
public:
    explicit ScopedCurrentFolder(const std::string& folder) : old_(get_current_dir_name())
    {
        EXPECT_EQ(chdir(folder.c_str()), 0) << folder;
    }
    ~ScopedCurrentFolder()
    {
        EXPECT_EQ(chdir(old_), 0);
        free(old_);
    }
    ScopedCurrentFolder(const ScopedCurrentFolder&) = delete;
    ScopedCurrentFolder& operator=(const ScopedCurrentFolder&) = delete;

private:
    char* old_;
};

// An absolute path of exactly `length` characters: "/d0123456/d0123456/.../xxx".
std::wstring PathOfLength(size_t length, bool trailingSeparator = false)
{
    std::wstring path;
    while (path.size() + 10 < length) {
        path += L"/d0123456";
    }
    path += L"/";
    path.append(length - path.size() - (trailingSeparator ? 1 : 0), L'x');
    if (trailingSeparator) {
        path += L"/";
    }
    return path;
}

// The canonical form, or the failing HRESULT as text.
std::wstring Canonical(const wchar_t* path, ULONG flags, size_t cch = PATHCCH_MAX_CCH)
{
    std::vector<wchar_t> buffer(PATHCCH_MAX_CCH + 1, L'#');
    const HRESULT hr = PathCchCanonicalizeEx(buffer.data(), cch, path, flags);
    if (FAILED(hr)) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
        return Wide(code);
    }
    EXPECT_EQ(hr, S_OK);
    return buffer.data();
}

TEST(PathCchCanonicalizeEx, ResolvesDotSegmentsAndKeepsOtherText)
{
    const struct {
        const wchar_t* in;
        const wchar_t* out;
    } cases[] = {
        {L"/a/b/../c", L"/a/c"},
        {L"/a/./b", L"/a/b"},
        {L"/a//b", L"/a//b"}, // doubled separators are kept, as the system keeps them
        {L"/", L"/"},
        {L"/a/", L"/a/"},
        {L"/a/.", L"/a"},
        {L"/a/./", L"/a/"},
        {L"/a", L"/a"},
        {L"/..", L"/"},
        {L"/a/..", L"/"},
        {L"/a/../..", L"/"},
        {L"/a/../../b", L"/b"},
        {L"/a/b/../", L"/a/"},
        {L"/a//..", L"/"}, // ".." takes the empty segment along with the name before it
        {L"/a/.../b", L"/a/.../b"},
        {L"/a./b ", L"/a./b "},
        {L"/a/b.", L"/a/b."},
        {L"/a/b...", L"/a/b..."},
        {L"/a\\..\\b", L"/a\\..\\b"}, // a backslash is a name character
        {L"/name_1/./name_2/../name_3", L"/name_1/name_3"},
        {L"/name_1/../name_2/./name_3", L"/name_2/name_3"},
        {L"/name_1/name_2/./name_3/../name_4", L"/name_1/name_2/name_4"},
        {L"/name_1/./name_2/./name_3/../name_4/..", L"/name_1/name_2"},
        // Relative paths stay relative without the extended-length option.
        {L"sub/dir", L"sub/dir"},
        {L"./x", L"x"},
        {L"../x", L"../x"},
        {L"a/../../x", L"../x"},
        {L"", L"."},
        {L".", L"."},
        {L"..", L".."},
        {L"a/..", L"."}, // the current folder, never the root
    };
    for (const auto& row : cases) {
        EXPECT_EQ(Canonical(row.in, PATHCCH_NONE), row.out) << row.in;
        EXPECT_EQ(Canonical(row.in, PATHCCH_ALLOW_LONG_PATHS), row.out) << row.in;
        if (row.in[0] == L'/') {
            EXPECT_EQ(Canonical(row.in, PATHCCH_ENSURE_IS_EXTENDED_LENGTH_PATH), row.out) << row.in;
        }
    }
}

TEST(PathCchCanonicalizeEx, ExtendedLengthOptionResolvesRelativePathsAgainstCurrentFolder)
{
    TempDir temp;
    const std::string base = (temp.path() / "cwd").string();
    ASSERT_EQ(mkdir(base.c_str(), 0755), 0);
    const ScopedCurrentFolder current(base);
    const std::wstring cwd = Wide(base);
    const std::wstring parent = Wide(temp.path().string());
    const struct {
        const wchar_t* in;
        std::wstring out;
    } cases[] = {
        {L"logs", cwd + L"/logs"},
        {L"sub/dir/", cwd + L"/sub/dir/"},
        {L"./x", cwd + L"/x"},
        {L"../x", parent + L"/x"},
        {L"", cwd},
        {L".", cwd},
        {L"x/../..", parent},
        {L"../../../../../../../../../../../../../../../../../../../../../../../..", L"/"},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(Canonical(row.in, PATHCCH_ENSURE_IS_EXTENDED_LENGTH_PATH), row.out) << row.in;
    }

    const ScopedCurrentFolder root("/");
    EXPECT_EQ(Canonical(L"x", PATHCCH_ENSURE_IS_EXTENDED_LENGTH_PATH), L"/x");
}

TEST(PathCchCanonicalizeEx, ArgumentsAndOptions)
{
    wchar_t buffer[16];
    std::fill(std::begin(buffer), std::end(buffer), L'#');
    EXPECT_EQ(PathCchCanonicalizeEx(buffer, 16, nullptr, 0), E_INVALIDARG);
    EXPECT_EQ(PathCchCanonicalizeEx(buffer, 16, nullptr, PATHCCH_ENSURE_IS_EXTENDED_LENGTH_PATH), E_INVALIDARG);
    EXPECT_EQ(PathCchCanonicalizeEx(nullptr, 16, L"/a", 0), E_INVALIDARG);
    EXPECT_EQ(PathCchCanonicalizeEx(buffer, 0, L"/a", 0), E_INVALIDARG);
    EXPECT_EQ(buffer[0], L'#');
    for (const ULONG flags : {0x11u, 0x02u, 0x07u, 0x20u, 0x19u}) {
        EXPECT_EQ(PathCchCanonicalizeEx(buffer, 16, L"/a", flags), E_INVALIDARG) << flags;
    }
    std::vector<wchar_t> large(PATHCCH_MAX_CCH + 1);
    EXPECT_EQ(PathCchCanonicalizeEx(large.data(), PATHCCH_MAX_CCH + 1, L"/a", 0), E_INVALIDARG);

    EXPECT_EQ(Canonical(L"/a/b", 0, 5), L"/a/b");
    EXPECT_EQ(Canonical(L"/a/b", 0, 4), L"0x8007007A");
    EXPECT_EQ(PathCchCanonicalizeEx(buffer, 4, L"/a/b", 0), kInsufficientBuffer);
    EXPECT_EQ(buffer[0], L'\0');
}

TEST(PathCchCanonicalizeEx, LengthLimits)
{
    // Without a long-path option a result must stay below MAX_PATH.
    EXPECT_EQ(Canonical(PathOfLength(259).c_str(), PATHCCH_NONE), PathOfLength(259));
    EXPECT_EQ(Canonical(PathOfLength(260).c_str(), PATHCCH_NONE), L"0x800700CE");
    EXPECT_EQ(Canonical(PathOfLength(260).c_str(), PATHCCH_ALLOW_LONG_PATHS), PathOfLength(260));
    EXPECT_EQ(Canonical((L"/a/" + std::wstring(300, L'n') + L"/..").c_str(), PATHCCH_NONE), L"/a");

    // With the extended-length option, and no prefix on POSIX, every input below 32,768 fits.
    const ULONG extended = PATHCCH_ENSURE_IS_EXTENDED_LENGTH_PATH;
    for (const size_t length : {size_t{300}, size_t{32766}, size_t{32767}}) {
        for (const bool trailing : {false, true}) {
            const std::wstring path = PathOfLength(length, trailing);
            EXPECT_EQ(Canonical(path.c_str(), extended), path) << length << " " << trailing;
        }
    }
    for (const size_t length : {size_t{32768}, size_t{40000}}) {
        EXPECT_EQ(Canonical(PathOfLength(length).c_str(), extended), L"0x800700CE") << length;
        EXPECT_EQ(Canonical(PathOfLength(length).c_str(), PATHCCH_NONE), L"0x800700CE") << length;
    }
    // Dot segments are resolved before the result is measured.
    const std::wstring long32764 = PathOfLength(32764);
    EXPECT_EQ(Canonical((long32764 + L"/..").c_str(), extended), long32764.substr(0, long32764.rfind(L'/')));
    EXPECT_EQ(Canonical(PathOfLength(205).c_str(), extended, 205), L"0x8007007A");
    EXPECT_EQ(Canonical(PathOfLength(205).c_str(), extended, 206), PathOfLength(205));
}

TEST(PathCchCanonicalizeEx, LongRootPathThenSeparatorAsTheEngineDoes)
{
    // A root path of 32,767 characters fits the 32,768-character work path, but its separator
    // does not; one that already ends in the separator is accepted as it is.
    const struct {
        size_t length;
        bool trailing;
        HRESULT addResult;
        size_t finalLength;
    } cases[] = {
        {32766, false, S_OK, 32767},
        {32767, false, kInsufficientBuffer, 32767},
        {32767, true, S_FALSE, 32767},
        {32766, true, S_FALSE, 32766},
    };
    for (const auto& row : cases) {
        std::vector<wchar_t> work(PATHCCH_MAX_CCH);
        const std::wstring path = PathOfLength(row.length, row.trailing);
        ASSERT_EQ(PathCchCanonicalizeEx(work.data(), PATHCCH_MAX_CCH, path.c_str(),
                                        PATHCCH_ENSURE_IS_EXTENDED_LENGTH_PATH),
                  S_OK);
        PWSTR end = nullptr;
        EXPECT_EQ(PathCchAddBackslashEx(work.data(), PATHCCH_MAX_CCH, &end, nullptr), row.addResult) << row.length;
        EXPECT_EQ(std::wcslen(work.data()), row.finalLength) << row.length;
        EXPECT_EQ(end, row.addResult == kInsufficientBuffer ? nullptr : work.data() + row.finalLength);
    }
}

TEST(PathCchAddBackslashEx, AppendsSeparatorPerTable)
{
    const struct {
        const wchar_t* in;
        size_t cch;
        HRESULT result;
        const wchar_t* out;
        long endOffset; // -1: null
        size_t remaining;
    } cases[] = {
        {L"/a", 32768, S_OK, L"/a/", 3, 32765},
        {L"/a/", 32768, S_FALSE, L"/a/", 3, 32765},
        {L"/", 32768, S_FALSE, L"/", 1, 32767},
        {L"", 32768, S_FALSE, L"", 0, 32768},
        {L"a", 32768, S_OK, L"a/", 2, 32766},
        {L"/a\\", 32768, S_OK, L"/a\\/", 4, 32764}, // only '/' counts as a separator
        {L"/a", 4, S_OK, L"/a/", 3, 1},
        {L"/a/", 4, S_FALSE, L"/a/", 3, 1},
        {L"/a", 3, kInsufficientBuffer, L"/a", -1, 0},
        {L"/a", 2, kInsufficientBuffer, L"/a", -1, 0}, // no terminator within cch
        {L"/a", 0, kInsufficientBuffer, L"/a", -1, 0},
        {L"", 1, S_FALSE, L"", 0, 1},
    };
    for (const auto& row : cases) {
        std::vector<wchar_t> buffer(PATHCCH_MAX_CCH, L'#');
        std::copy_n(row.in, std::wcslen(row.in) + 1, buffer.begin());
        PWSTR end = reinterpret_cast<PWSTR>(1);
        size_t remaining = 12345;
        EXPECT_EQ(PathCchAddBackslashEx(buffer.data(), row.cch, &end, &remaining), row.result) << row.in << row.cch;
        EXPECT_STREQ(buffer.data(), row.out) << row.in << row.cch;
        EXPECT_EQ(end, row.endOffset < 0 ? nullptr : buffer.data() + row.endOffset) << row.in << row.cch;
        EXPECT_EQ(remaining, row.remaining) << row.in << row.cch;
    }
    wchar_t path[8] = L"/a";
    EXPECT_EQ(PathCchAddBackslashEx(path, 8, nullptr, nullptr), S_OK);
    EXPECT_STREQ(path, L"/a/");
    EXPECT_EQ(PathCchAddBackslashEx(nullptr, 8, nullptr, nullptr), E_INVALIDARG);
}

TEST(GetFullPathNameW, ResolvesAgainstCurrentFolder)
{
    TempDir temp;
    const std::string base = (temp.path() / "cwd").string();
    ASSERT_EQ(mkdir(base.c_str(), 0755), 0);
    const ScopedCurrentFolder current(base);
    const std::wstring cwd = Wide(base);
    const std::wstring parent = Wide(temp.path().string());
    const struct {
        const wchar_t* in;
        std::wstring out;
        std::wstring filePart; // empty: no file part
    } cases[] = {
        {L".", cwd, L"cwd"},
        {L"./", cwd + L"/", L""},
        {L"..", parent, parent.substr(parent.rfind(L'/') + 1)},
        {L"x", cwd + L"/x", L"x"},
        {L"x/", cwd + L"/x/", L""},
        {L"x/y/..", cwd + L"/x", L"x"},
        {L"x//y", cwd + L"/x/y", L"y"},
        {L"../../../../../../../../../../../../../../../../../../../../../../../..", L"/", L""},
        {L"/a/../b", L"/b", L"b"},
        {L"/a/./b", L"/a/b", L"b"},
        {L"/a//b", L"/a/b", L"b"},
        {L"//a///b//", L"/a/b/", L""},
        {L"/", L"/", L""},
        {L"/a/../../../b", L"/b", L"b"},
        {L"/a./b ", L"/a./b ", L"b "}, // dots and blanks are name characters here
        {L"/a/.../b", L"/a/.../b", L"b"},
        {L"/a/*.log", L"/a/*.log", L"*.log"},
        {L" ", cwd + L"/ ", L" "},
    };
    for (const auto& row : cases) {
        std::vector<wchar_t> buffer(PATHCCH_MAX_CCH, L'#');
        LPWSTR filePart = reinterpret_cast<LPWSTR>(1);
        SetLastError(kSentinel);
        const DWORD length = GetFullPathNameW(row.in, PATHCCH_MAX_CCH, buffer.data(), &filePart);
        EXPECT_EQ(length, row.out.size()) << row.in;
        EXPECT_EQ(std::wstring(buffer.data()), row.out) << row.in;
        if (row.filePart.empty()) {
            EXPECT_EQ(filePart, nullptr) << row.in;
        } else {
            ASSERT_NE(filePart, nullptr) << row.in;
            EXPECT_EQ(std::wstring(filePart), row.filePart) << row.in;
        }
        EXPECT_EQ(GetLastError(), kSentinel) << row.in;
    }
}

TEST(GetFullPathNameW, BufferSizes)
{
    TempDir temp;
    const ScopedCurrentFolder current(temp.path().string());
    const std::wstring full = Wide(temp.path().string()) + L"/x";
    const DWORD needed = static_cast<DWORD>(full.size() + 1);
    std::vector<wchar_t> buffer(PATHCCH_MAX_CCH, L'#');
    LPWSTR filePart = buffer.data();

    EXPECT_EQ(GetFullPathNameW(L"x", 0, nullptr, &filePart), needed);
    EXPECT_EQ(filePart, nullptr);
    for (const DWORD size : {DWORD{0}, DWORD{1}, needed - 1}) {
        filePart = buffer.data();
        EXPECT_EQ(GetFullPathNameW(L"x", size, buffer.data(), &filePart), needed) << size;
        EXPECT_EQ(buffer[0], L'#') << size;
        EXPECT_EQ(filePart, nullptr) << size;
    }
    EXPECT_EQ(GetFullPathNameW(L"x", needed, buffer.data(), &filePart), needed - 1);
    EXPECT_EQ(std::wstring(buffer.data()), full);
    EXPECT_EQ(filePart, buffer.data() + full.size() - 1);

    // The empty name fails without a last error; a null name is a real failure.
    filePart = buffer.data();
    SetLastError(kSentinel);
    EXPECT_EQ(GetFullPathNameW(L"", PATHCCH_MAX_CCH, buffer.data(), &filePart), 0u);
    EXPECT_EQ(GetLastError(), kSentinel);
    EXPECT_EQ(filePart, buffer.data());
    EXPECT_EQ(GetFullPathNameW(nullptr, PATHCCH_MAX_CCH, buffer.data(), &filePart), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    // Long results work without a prefix; one beyond the buffer reports its size.
    const std::wstring longPath = PathOfLength(32767);
    EXPECT_EQ(GetFullPathNameW(longPath.c_str(), PATHCCH_MAX_CCH, buffer.data(), nullptr), 32767u);
    EXPECT_EQ(std::wstring(buffer.data()), longPath);
    std::fill(buffer.begin(), buffer.end(), L'#');
    EXPECT_EQ(GetFullPathNameW(PathOfLength(40000).c_str(), PATHCCH_MAX_CCH, buffer.data(), nullptr), 40001u);
    EXPECT_EQ(buffer[0], L'#');
}

TEST(GetCurrentDirectoryW, SizesAndRoot)
{
    TempDir temp;
    const ScopedCurrentFolder current(temp.path().string());
    const std::wstring cwd = Wide(temp.path().string());
    const DWORD needed = static_cast<DWORD>(cwd.size() + 1);
    std::vector<wchar_t> buffer(PATHCCH_MAX_CCH, L'#');
    EXPECT_EQ(GetCurrentDirectoryW(0, nullptr), needed);
    EXPECT_EQ(GetCurrentDirectoryW(needed - 1, buffer.data()), needed);
    EXPECT_EQ(buffer[0], L'#');
    EXPECT_EQ(GetCurrentDirectoryW(needed, buffer.data()), needed - 1);
    EXPECT_EQ(std::wstring(buffer.data()), cwd);

    const ScopedCurrentFolder root("/");
    EXPECT_EQ(GetCurrentDirectoryW(PATHCCH_MAX_CCH, buffer.data()), 1u);
    EXPECT_STREQ(buffer.data(), L"/");
}

TEST(GetCurrentDirectoryW, RemovedFolderFails)
{
    TempDir temp;
    const std::string gone = (temp.path() / "gone").string();
    ASSERT_EQ(mkdir(gone.c_str(), 0755), 0);
    const ScopedCurrentFolder current(gone);
    ASSERT_EQ(rmdir(gone.c_str()), 0);
    wchar_t buffer[64];
    SetLastError(kSentinel);
    EXPECT_EQ(GetCurrentDirectoryW(64, buffer), 0u);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

// A folder chain deeper than PATH_MAX, built and removed one relative step at a time (no call
// with the whole path would work).
class DeepFolder {
public:
    DeepFolder(const std::string& base, size_t minimumLength) : base_(base), path_(base)
    {
        EXPECT_EQ(chdir(base.c_str()), 0);
        while (path_.size() <= minimumLength) {
            EXPECT_EQ(mkdir(kName.c_str(), 0755), 0);
            EXPECT_EQ(chdir(kName.c_str()), 0);
            path_ += "/" + kName;
            ++depth_;
        }
        EXPECT_EQ(close(open("file", O_CREAT | O_WRONLY | O_CLOEXEC, 0644)), 0);
    }
    ~DeepFolder()
    {
        unlink("file");
        for (; depth_ > 0; --depth_) {
            EXPECT_EQ(chdir(".."), 0);
            EXPECT_EQ(rmdir(kName.c_str()), 0);
        }
    }
    DeepFolder(const DeepFolder&) = delete;
    DeepFolder& operator=(const DeepFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    inline static const std::string kName = std::string(200, 'd');
    std::string base_;
    std::string path_;
    size_t depth_ = 0;
};

TEST(GetCurrentDirectoryW, FolderDeeperThanPathMax)
{
    TempDir temp;
    const ScopedCurrentFolder restore(temp.path().string());
    const DeepFolder deep(temp.path().string(), PATH_MAX + 500);
    const std::wstring expected = Wide(deep.path());
    ASSERT_GT(expected.size(), static_cast<size_t>(PATH_MAX));

    std::vector<wchar_t> buffer(PATHCCH_MAX_CCH);
    EXPECT_EQ(GetCurrentDirectoryW(PATHCCH_MAX_CCH, buffer.data()), expected.size());
    EXPECT_EQ(std::wstring(buffer.data()), expected);
    EXPECT_EQ(GetFullPathNameW(L"file", PATHCCH_MAX_CCH, buffer.data(), nullptr), expected.size() + 5);
    EXPECT_EQ(PathCchCanonicalizeEx(buffer.data(), PATHCCH_MAX_CCH, L".", PATHCCH_ENSURE_IS_EXTENDED_LENGTH_PATH),
              S_OK);
    EXPECT_EQ(std::wstring(buffer.data()), expected);

    EXPECT_TRUE(PathIsDirectoryW(expected.c_str()));
    EXPECT_TRUE(PathIsDirectoryW((expected + L"/").c_str()));
    EXPECT_FALSE(PathIsDirectoryW((expected + L"/file").c_str()));
    EXPECT_FALSE(PathIsDirectoryW((expected + L"/missing").c_str()));
    EXPECT_FALSE(PathIsDirectoryW((expected + L"/file/below").c_str()));
}

TEST(GetTempPathW, FromTmpdirOrTmp)
{
    const struct {
        const char* tmpdir; // null: unset
        const wchar_t* path;
    } cases[] = {
        {nullptr, L"/tmp/"},
        {"", L"/tmp/"},
        {"/var/scratch", L"/var/scratch/"},
        {"/var/scratch/", L"/var/scratch/"},
        {"/var/caf\xc3\xa9", L"/var/caf\u00e9/"},
    };
    for (const auto& row : cases) {
        const ScopedEnvironment tmpdir("TMPDIR", row.tmpdir);
        wchar_t buffer[64];
        std::fill(std::begin(buffer), std::end(buffer), L'#');
        const DWORD length = static_cast<DWORD>(std::wcslen(row.path));
        EXPECT_EQ(GetTempPathW(0, nullptr), length + 1);
        EXPECT_EQ(GetTempPathW(length, buffer), length + 1);
        EXPECT_EQ(buffer[0], L'#');
        EXPECT_EQ(GetTempPathW(64, buffer), length);
        EXPECT_STREQ(buffer, row.path);
    }
}

TEST(PathIsDirectoryW, FoldersFilesAndLinks)
{
    TempDir temp;
    const std::string base = temp.path().string();
    temp.Folder("folder");
    temp.File("file.txt", 3);
    ASSERT_EQ(symlink((base + "/folder").c_str(), (base + "/folder-link").c_str()), 0);
    ASSERT_EQ(symlink((base + "/file.txt").c_str(), (base + "/file-link").c_str()), 0);
    ASSERT_EQ(symlink((base + "/missing").c_str(), (base + "/dangling").c_str()), 0);
    const struct {
        std::string path;
        bool folder;
    } cases[] = {
        {base + "/folder", true},   {base + "/folder/", true},   {base + "/folder-link", true},
        {base + "/file.txt", false}, {base + "/file-link", false}, {base + "/dangling", false},
        {base + "/missing", false}, {"/", true},                  {base + "/file.txt/x", false},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(PathIsDirectoryW(Wide(row.path).c_str()) != FALSE, row.folder) << row.path;
    }
    EXPECT_EQ(PathIsDirectoryW((Wide(base) + L"/folder").c_str()), static_cast<BOOL>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_FALSE(PathIsDirectoryW(L""));
    EXPECT_FALSE(PathIsDirectoryW(nullptr));
}

} // namespace
