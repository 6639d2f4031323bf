// Path functions on POSIX paths: canonicalization and its length limits, the appended separator,
// full paths against the current folder, the current and temporary folders, folder tests.
#include "platform/platform.h"
#include "support/scoped_environment.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using testing_support::TempDir;

constexpr ULONG kExtended = PATHCCH_ENSURE_IS_EXTENDED_LENGTH_PATH;

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

// An absolute path of exactly `length` characters: "/d0123456/d0123456/.../xxx", or ending in '/'.
std::wstring PathOfLength(size_t length, bool trailingSeparator = false)
{
    std::wstring path;
    while (path.size() + 10 < length) {
        path += L"/d0123456";
    }
    path += L"/";
    path.append(length - path.size() - (trailingSeparator ? 1 : 0), L'x');
    return trailingSeparator ? path + L"/" : path;
}

// The canonical form, or the failing HRESULT in hex.
std::wstring Canonical(const std::wstring& path, ULONG flags, size_t cch = PATHCCH_MAX_CCH)
{
    std::vector<wchar_t> buffer(PATHCCH_MAX_CCH, L'#');
    const HRESULT hr = PathCchCanonicalizeEx(buffer.data(), cch, path.c_str(), flags);
    wchar_t code[16];
    std::swprintf(code, 16, L"0x%08X", static_cast<unsigned>(hr));
    return hr == S_OK ? std::wstring(buffer.data()) : std::wstring(code);
}

TEST(PathCchCanonicalizeEx, ResolvesDotSegmentsAndKeepsOtherText)
{
    const struct {
        const wchar_t* in;
        const wchar_t* out;
    } cases[] = {
        {L"/a/b/../c", L"/a/c"}, {L"/a/./b", L"/a/b"}, {L"/a/.", L"/a"}, {L"/a/./", L"/a/"}, {L"/", L"/"},
        {L"/a//b", L"/a//b"}, // doubled separators stay, as the system keeps doubled backslashes
        {L"/..", L"/"}, {L"/a/../..", L"/"}, {L"/a/../../b", L"/b"}, {L"/a/b/../", L"/a/"},
        {L"/a//..", L"/"}, {L"/a/.../b.", L"/a/.../b."}, {L"/a./b ", L"/a./b "}, {L"/a\\..\\b", L"/a\\..\\b"},
        {L"/name_1/./name_2/./name_3/../name_4/..", L"/name_1/name_2"},
        // Relative paths stay relative without the extended-length option; nothing turns into "/".
        {L"sub/dir", L"sub/dir"}, {L"./x", L"x"}, {L"../x", L"../x"}, {L"a/../../x", L"../x"},
        {L"", L"."}, {L"..", L".."}, {L"a/..", L"."},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(Canonical(row.in, PATHCCH_NONE), row.out) << row.in;
        if (row.in[0] == L'/') {
            EXPECT_EQ(Canonical(row.in, kExtended), row.out) << row.in;
        }
    }
}

TEST(PathCchCanonicalizeEx, ExtendedLengthOptionResolvesRelativePathsAgainstCurrentFolder)
{
    TempDir temp;
    const std::string base = temp.Folder("cwd").string();
    const ScopedCurrentFolder current(base);
    const std::wstring cwd = Wide(base);
    const std::wstring parent = Wide(temp.path().string());
    const struct {
        const wchar_t* in;
        std::wstring out;
    } cases[] = {
        {L"logs", cwd + L"/logs"}, {L"sub/dir/", cwd + L"/sub/dir/"}, {L"./x", cwd + L"/x"},
        {L"../x", parent + L"/x"}, {L"", cwd}, {L".", cwd}, {L"x/../..", parent},
        {L"../../../../../../../../../../../../../../../../../../../../../../../../..", L"/"},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(Canonical(row.in, kExtended), row.out) << row.in;
    }
    const ScopedCurrentFolder root("/");
    EXPECT_EQ(Canonical(L"x", kExtended), L"/x");
}

TEST(PathCchCanonicalizeEx, ArgumentsOptionsAndLengthLimits)
{
    wchar_t buffer[8] = {L'#'};
    EXPECT_EQ(PathCchCanonicalizeEx(buffer, 8, nullptr, kExtended), E_INVALIDARG);
    EXPECT_EQ(PathCchCanonicalizeEx(nullptr, 8, L"/a", 0), E_INVALIDARG);
    EXPECT_EQ(PathCchCanonicalizeEx(buffer, 0, L"/a", 0), E_INVALIDARG);
    EXPECT_EQ(buffer[0], L'#');
    for (const ULONG flags : {0x11u, 0x02u, 0x20u}) {
        EXPECT_EQ(PathCchCanonicalizeEx(buffer, 8, L"/a", flags), E_INVALIDARG) << flags;
    }
    EXPECT_EQ(Canonical(L"/a/b", 0, PATHCCH_MAX_CCH + 1), L"0x80070057");
    EXPECT_EQ(Canonical(L"/a/b", 0, 5), L"/a/b");
    EXPECT_EQ(Canonical(L"/a/b", 0, 4), L"0x8007007A");

    // Without a long-path option the result must stay below MAX_PATH; the input may be longer.
    EXPECT_EQ(Canonical(PathOfLength(259), PATHCCH_NONE), PathOfLength(259));
    EXPECT_EQ(Canonical(PathOfLength(260), PATHCCH_NONE), L"0x800700CE");
    EXPECT_EQ(Canonical(PathOfLength(260), PATHCCH_ALLOW_LONG_PATHS), PathOfLength(260));
    EXPECT_EQ(Canonical(L"/a/" + std::wstring(300, L'n') + L"/..", PATHCCH_NONE), L"/a");
    // With the extended-length option (no prefix on POSIX) every input below 32,768 fits.
    for (const bool trailing : {false, true}) {
        EXPECT_EQ(Canonical(PathOfLength(32767, trailing), kExtended), PathOfLength(32767, trailing));
        EXPECT_EQ(Canonical(PathOfLength(32768, trailing), kExtended), L"0x800700CE");
    }
    EXPECT_EQ(Canonical(PathOfLength(40000), kExtended), L"0x800700CE");
    EXPECT_EQ(Canonical(PathOfLength(205), kExtended, 205), L"0x8007007A");
}

TEST(PathCchAddBackslashEx, AppendsTheSeparatorPerTable)
{
    constexpr HRESULT kInsufficientBuffer = static_cast<HRESULT>(0x8007007A);
    const struct {
        std::wstring in;
        size_t cch;
        HRESULT result;
        std::wstring out;
        long end; // offset of the end pointer; -1: null
        size_t remaining;
    } cases[] = {
        {L"/a", 32768, S_OK, L"/a/", 3, 32765}, {L"/a/", 32768, S_FALSE, L"/a/", 3, 32765},
        {L"/", 32768, S_FALSE, L"/", 1, 32767}, {L"", 32768, S_FALSE, L"", 0, 32768},
        {L"a", 32768, S_OK, L"a/", 2, 32766},   {L"/a\\", 32768, S_OK, L"/a\\/", 4, 32764},
        {L"/a", 4, S_OK, L"/a/", 3, 1},         {L"/a/", 4, S_FALSE, L"/a/", 3, 1},
        {L"/a", 3, kInsufficientBuffer, L"/a", -1, 0}, {L"/a", 0, kInsufficientBuffer, L"/a", -1, 0},
        {L"", 1, S_FALSE, L"", 0, 1},
        // The work path of the cleanup: 32,767 characters fit, but not with one more separator.
        {PathOfLength(32766), 32768, S_OK, PathOfLength(32766) + L"/", 32767, 1},
        {PathOfLength(32767), 32768, kInsufficientBuffer, PathOfLength(32767), -1, 0},
        {PathOfLength(32767, true), 32768, S_FALSE, PathOfLength(32767, true), 32767, 1},
    };
    for (const auto& row : cases) {
        std::vector<wchar_t> buffer(row.in.begin(), row.in.end());
        buffer.resize(PATHCCH_MAX_CCH, L'\0');
        PWSTR end = buffer.data();
        size_t remaining = 12345;
        EXPECT_EQ(PathCchAddBackslashEx(buffer.data(), row.cch, &end, &remaining), row.result) << row.cch;
        EXPECT_EQ(std::wstring(buffer.data()), row.out) << row.cch;
        EXPECT_EQ(end, row.end < 0 ? nullptr : buffer.data() + row.end) << row.in.size() << " " << row.cch;
        EXPECT_EQ(remaining, row.remaining) << row.in.size() << " " << row.cch;
    }
}

TEST(GetFullPathNameW, ResolvesAgainstTheCurrentFolder)
{
    TempDir temp;
    const std::string base = temp.Folder("cwd").string();
    const ScopedCurrentFolder current(base);
    const std::wstring cwd = Wide(base);
    const std::wstring parent = Wide(temp.path().string());
    const struct {
        const wchar_t* in;
        std::wstring out;
        std::wstring filePart; // empty: none
    } cases[] = {
        {L".", cwd, L"cwd"}, {L"./", cwd + L"/", L""}, {L"..", parent, parent.substr(parent.rfind(L'/') + 1)},
        {L"x", cwd + L"/x", L"x"}, {L"x/", cwd + L"/x/", L""}, {L"x/y/..", cwd + L"/x", L"x"},
        {L"x//y", cwd + L"/x/y", L"y"}, {L"../../../../../../../../../../../../../../../../../..", L"/", L""},
        {L"//a///b//", L"/a/b/", L""}, {L"/a/../../../b", L"/b", L"b"}, {L"/a/./b", L"/a/b", L"b"},
        {L"/a./b ", L"/a./b ", L"b "}, {L"/a/*.log", L"/a/*.log", L"*.log"}, {L" ", cwd + L"/ ", L" "},
    };
    for (const auto& row : cases) {
        std::vector<wchar_t> buffer(PATHCCH_MAX_CCH, L'#');
        LPWSTR filePart = buffer.data();
        SetLastError(0xDEAD);
        EXPECT_EQ(GetFullPathNameW(row.in, PATHCCH_MAX_CCH, buffer.data(), &filePart), row.out.size()) << row.in;
        EXPECT_EQ(std::wstring(buffer.data()), row.out) << row.in;
        EXPECT_EQ(filePart == nullptr ? L"" : std::wstring(filePart), row.filePart) << row.in;
        EXPECT_EQ(GetLastError(), 0xDEADu) << row.in;
    }
}

TEST(GetFullPathNameW, BufferSizes)
{
    TempDir temp;
    const ScopedCurrentFolder current(temp.path().string());
    const std::wstring full = Wide(temp.path().string()) + L"/x";
    const auto needed = static_cast<DWORD>(full.size() + 1);
    std::vector<wchar_t> buffer(PATHCCH_MAX_CCH, L'#');
    LPWSTR filePart = buffer.data();
    EXPECT_EQ(GetFullPathNameW(L"x", 0, nullptr, &filePart), needed);
    EXPECT_EQ(filePart, nullptr);
    EXPECT_EQ(GetFullPathNameW(L"x", needed - 1, buffer.data(), nullptr), needed);
    EXPECT_EQ(buffer[0], L'#');
    EXPECT_EQ(GetFullPathNameW(L"x", needed, buffer.data(), &filePart), needed - 1);
    EXPECT_EQ(filePart, buffer.data() + full.size() - 1);

    SetLastError(0xDEAD); // the empty name fails without a last error, and a null name with 87
    EXPECT_EQ(GetFullPathNameW(L"", PATHCCH_MAX_CCH, buffer.data(), &filePart), 0u);
    EXPECT_EQ(GetLastError(), 0xDEADu);
    EXPECT_EQ(GetFullPathNameW(nullptr, PATHCCH_MAX_CCH, buffer.data(), &filePart), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    EXPECT_EQ(GetFullPathNameW(PathOfLength(32767).c_str(), PATHCCH_MAX_CCH, buffer.data(), nullptr), 32767u);
    buffer[0] = L'#';
    EXPECT_EQ(GetFullPathNameW(PathOfLength(40000).c_str(), PATHCCH_MAX_CCH, buffer.data(), nullptr), 40001u);
    EXPECT_EQ(buffer[0], L'#');
}

TEST(PathFunctions, CurrentFolderDeeperThanPathMaxAndTheRoot)
{
    // Built and removed one relative step at a time: no call with the whole path would work.
    TempDir temp;
    const ScopedCurrentFolder restore(temp.path().string());
    const std::string name(200, 'd');
    std::string deep = temp.path().string();
    size_t depth = 0;
    for (; deep.size() <= PATH_MAX + 500; ++depth, deep += "/" + name) {
        ASSERT_EQ(mkdir(name.c_str(), 0755), 0);
        ASSERT_EQ(chdir(name.c_str()), 0);
    }
    ASSERT_EQ(close(open("file", O_CREAT | O_WRONLY | O_CLOEXEC, 0644)), 0);
    const std::wstring expected = Wide(deep);

    std::vector<wchar_t> buffer(PATHCCH_MAX_CCH);
    EXPECT_EQ(GetCurrentDirectoryW(0, nullptr), expected.size() + 1);
    EXPECT_EQ(GetCurrentDirectoryW(PATHCCH_MAX_CCH, buffer.data()), expected.size());
    EXPECT_EQ(std::wstring(buffer.data()), expected);
    EXPECT_EQ(Canonical(L".", kExtended), expected);
    EXPECT_TRUE(PathIsDirectoryW(expected.c_str()));
    EXPECT_TRUE(PathIsDirectoryW((expected + L"/").c_str()));
    EXPECT_FALSE(PathIsDirectoryW((expected + L"/file").c_str()));
    EXPECT_FALSE(PathIsDirectoryW((expected + L"/missing").c_str()));

    EXPECT_EQ(unlink("file"), 0);
    for (; depth > 0; --depth) {
        EXPECT_EQ(chdir(".."), 0);
        EXPECT_EQ(rmdir(name.c_str()), 0);
    }
    ASSERT_EQ(chdir("/"), 0);
    EXPECT_EQ(GetCurrentDirectoryW(PATHCCH_MAX_CCH, buffer.data()), 1u);
    EXPECT_STREQ(buffer.data(), L"/");
}

TEST(GetTempPathW, FromTmpdirOrTmp)
{
    // An absolute TMPDIR naming an existing folder, as a full path; anything else gives /tmp/.
    TempDir temp;
    temp.Folder("scratch");
    temp.Folder("caf\xc3\xa9");
    temp.File("file");
    const std::string base = temp.path().string();
    const std::wstring wideBase = Wide(base);
    const struct {
        std::string tmpdir; // "(unset)": not set
        std::wstring path;
    } cases[] = {
        {"(unset)", L"/tmp/"},
        {"", L"/tmp/"},
        {base + "/scratch", wideBase + L"/scratch/"},
        {base + "/scratch/", wideBase + L"/scratch/"},
        {base + "/caf\xc3\xa9", wideBase + L"/caf\u00e9/"},
        {base + "//scratch/./x/..", wideBase + L"/scratch/"},
        {" ", L"/tmp/"},
        {" " + base + "/scratch", L"/tmp/"},
        {"scratch", L"/tmp/"},
        {base + "/missing", L"/tmp/"},
        {base + "/file", L"/tmp/"},
        {"/", L"/"},
        {"//", L"/"},
        {base + "/../../../../../../../../../../..", L"/"},
    };
    for (const auto& row : cases) {
        const char* value = row.tmpdir == "(unset)" ? nullptr : row.tmpdir.c_str();
        const testing_support::ScopedEnvironment tmpdir("TMPDIR", value);
        std::vector<wchar_t> buffer(PATHCCH_MAX_CCH);
        EXPECT_EQ(GetTempPathW(PATHCCH_MAX_CCH, buffer.data()), row.path.size()) << row.tmpdir;
        EXPECT_EQ(std::wstring(buffer.data()), row.path) << row.tmpdir;
    }
}

// The size needed, terminator included, when the folder does not fit; the buffer is untouched.
// (A TMPDIR longer than any buffer is shown through purgent's command line.)
TEST(GetTempPathW, AFolderThatDoesNotFitGivesTheSizeNeeded)
{
    TempDir temp;
    const testing_support::ScopedEnvironment tmpdir("TMPDIR", temp.path().c_str());
    const std::wstring folder = Wide(temp.path().string() + "/");
    std::vector<wchar_t> buffer(folder.size() + 1, L'#');
    EXPECT_EQ(GetTempPathW(0, nullptr), folder.size() + 1);
    EXPECT_EQ(GetTempPathW(static_cast<DWORD>(folder.size()), buffer.data()), folder.size() + 1);
    EXPECT_EQ(buffer[0], L'#');
    EXPECT_EQ(GetTempPathW(static_cast<DWORD>(folder.size() + 1), buffer.data()), folder.size());
    EXPECT_EQ(std::wstring(buffer.data()), folder);
}

TEST(PathCchSkipRoot, PointsBehindTheLeadingSeparators)
{
    const struct {
        const wchar_t* path;
        int rootLength; // -1: E_INVALIDARG
    } cases[] = {{L"/", 1}, {L"//", 2}, {L"/tmp/", 1}, {L"///tmp/x", 3}, {L"tmp/", -1}, {L"./x", -1}, {L"", -1},
                 {L" /", -1}};
    for (const auto& row : cases) {
        PCWSTR rootEnd = L"unchanged";
        const HRESULT hr = PathCchSkipRoot(row.path, &rootEnd);
        if (row.rootLength < 0) {
            EXPECT_EQ(hr, E_INVALIDARG) << row.path;
            EXPECT_STREQ(rootEnd, L"unchanged");
        } else {
            EXPECT_EQ(hr, S_OK) << row.path;
            EXPECT_EQ(rootEnd, row.path + row.rootLength) << row.path;
        }
    }
    PCWSTR rootEnd = nullptr;
    EXPECT_EQ(PathCchSkipRoot(nullptr, &rootEnd), E_INVALIDARG);
    EXPECT_EQ(PathCchSkipRoot(L"/", nullptr), E_INVALIDARG);
}

TEST(PathIsDirectoryW, FoldersFilesAndLinks)
{
    TempDir temp;
    const std::string base = temp.path().string();
    temp.Folder("folder");
    temp.File("file");
    ASSERT_EQ(symlink("folder", (base + "/folder-link").c_str()), 0);
    ASSERT_EQ(symlink("file", (base + "/file-link").c_str()), 0);
    ASSERT_EQ(symlink("missing", (base + "/dangling").c_str()), 0);
    const struct {
        const char* name;
        bool folder;
    } cases[] = {{"/folder", true},     {"/folder/", true},   {"/folder-link", true}, {"/file", false},
                 {"/file-link", false}, {"/dangling", false}, {"/missing", false},    {"/file/x", false}};
    for (const auto& row : cases) {
        EXPECT_EQ(PathIsDirectoryW(Wide(base + row.name).c_str()) != FALSE, row.folder) << row.name;
    }
    EXPECT_EQ(PathIsDirectoryW(L"/"), static_cast<BOOL>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_FALSE(PathIsDirectoryW(L""));
    EXPECT_FALSE(PathIsDirectoryW(nullptr));
}

} // namespace
