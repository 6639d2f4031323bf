// The layer's own enumeration flags: lazy entries completed on request give exactly what an
// eager enumeration gives, folder links below an open enumeration are followed only when asked,
// and a name taken literally finds only itself.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "support/test_support.h"

namespace {
namespace fs = std::filesystem;

struct Seen {
    DWORD attributes = 0;
    unsigned long long size = 0;
    unsigned long long writeTime = 0;
    bool operator==(const Seen&) const = default;
};

Seen Of(const WIN32_FIND_DATAW& data)
{
    return Seen{data.dwFileAttributes, (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow,
                (static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                    data.ftLastWriteTime.dwLowDateTime};
}

// Every entry of `folder` as enumerated with `flags`; `complete` asks for CompleteFindData on each.
std::map<std::wstring, Seen> List(const fs::path& folder, DWORD flags, bool complete, std::map<std::wstring, Seen>* raw = nullptr)
{
    std::map<std::wstring, Seen> seen;
    const std::wstring search = platform::WideFromBytes((folder / "*").string());
    WIN32_FIND_DATAW data{};
    const HANDLE find = FindFirstFileExW(search.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, flags);
    EXPECT_NE(find, INVALID_HANDLE_VALUE);
    if (find == INVALID_HANDLE_VALUE) {
        return seen;
    }
    do {
        if (raw != nullptr) {
            (*raw)[data.cFileName] = Of(data);
        }
        if (complete) {
            platform::CompleteFindData(find, &data);
            platform::CompleteFindData(find, &data); // a second call changes nothing
        }
        seen[data.cFileName] = Of(data);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return seen;
}

TEST(FindFileFlags, LazyEntriesCompleteToTheEagerData)
{
    testing_support::TempDir tree;
    tree.File("data.bin", 70000);
    const fs::path readOnly = tree.File("locked.txt", 3);
    fs::permissions(readOnly, fs::perms::owner_write, fs::perm_options::remove);
    tree.Folder("sub");
    fs::create_directory_symlink(tree.path() / "sub", tree.path() / "folder-link");
    fs::create_symlink(tree.path() / "data.bin", tree.path() / "file-link");

    const std::map<std::wstring, Seen> eager = List(tree.path(), 0, false);
    std::map<std::wstring, Seen> lazy;
    const std::map<std::wstring, Seen> completed = List(tree.path(), platform::kFindLazyData, true, &lazy);
    EXPECT_EQ(completed, eager);

    // Before completion: nothing but the name for files; folders (which must tell a mount point)
    // and links come complete.
    EXPECT_EQ(lazy[L"sub"], eager.at(L"sub"));
    EXPECT_EQ(lazy[L".."], (Seen{FILE_ATTRIBUTE_DIRECTORY, 0, 0}));
    EXPECT_EQ(lazy[L"data.bin"], (Seen{0, 0, 0}));
    EXPECT_EQ(lazy[L"locked.txt"], (Seen{0, 0, 0}));
    EXPECT_EQ(lazy[L"folder-link"], eager.at(L"folder-link"));
    EXPECT_EQ(lazy[L"file-link"], eager.at(L"file-link"));
    EXPECT_EQ(lazy[L"."], (Seen{FILE_ATTRIBUTE_DIRECTORY, 0, 0}));
    EXPECT_EQ(eager.at(L"data.bin").size, 70000u);
    EXPECT_NE(eager.at(L"locked.txt").attributes & FILE_ATTRIBUTE_READONLY, 0u);
}

TEST(FindFileFlags, FolderLinksBelowAnOpenEnumerationOnlyWhenAsked)
{
    testing_support::TempDir tree;
    tree.File("target/inside.txt", 1);
    fs::create_directory_symlink(tree.path() / "target", tree.path() / "link");
    const std::wstring outer = platform::WideFromBytes((tree.path() / "*").string());
    const std::wstring inner = platform::WideFromBytes((tree.path() / "link" / "*").string());

    WIN32_FIND_DATAW data{};
    const HANDLE parent = FindFirstFileExW(outer.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
    ASSERT_NE(parent, INVALID_HANDLE_VALUE);
    // The enumeration of the parent covers the link: without the flag it is not followed.
    EXPECT_EQ(FindFirstFileExW(inner.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    const HANDLE followed = FindFirstFileExW(inner.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                             platform::kFindFollowLinks);
    ASSERT_NE(followed, INVALID_HANDLE_VALUE);
    bool found = false;
    do {
        found = found || std::wstring(data.cFileName) == L"inside.txt";
    } while (FindNextFileW(followed, &data));
    EXPECT_TRUE(found);
    FindClose(followed);
    FindClose(parent);
}

TEST(FindFileFlags, LiteralNameFindsOnlyItself)
{
    testing_support::TempDir dir;
    dir.File("a0", 1);
    dir.File("?", 3);
    WIN32_FIND_DATAW data {};
    const auto find = [&](const char* name, DWORD flags) {
        const std::wstring path = platform::WideFromBytes((dir.path() / name).string());
        const HANDLE handle = FindFirstFileExW(path.c_str(), FindExInfoStandard, &data, FindExSearchNameMatch, nullptr, flags);
        const DWORD error = handle == INVALID_HANDLE_VALUE ? GetLastError() : 0;
        FindClose(handle);
        return error;
    };
    ASSERT_EQ(0u, find("?", platform::kFindLiteralName));
    EXPECT_EQ(3u, data.nFileSizeLow);
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), find("a*", platform::kFindLiteralName));
    ASSERT_EQ(0u, find("?", 0)); // without the flag, a pattern that "." matches first
    EXPECT_EQ(std::wstring(L"."), data.cFileName);
}

} // namespace
