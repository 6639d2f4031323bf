// A file opened for reading right after its lookup goes through the folder held from the previous
// file there, yet never onto another file than the lookup found, however the folder changed.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_support.h"

namespace {
namespace fs = std::filesystem;

// Looks `path` up as one file, opens it for reading and returns how many bytes it holds (up to
// 64); -1 when it cannot be opened.
int LookUpThenRead(const fs::path& path)
{
    const std::wstring wide = platform::WideFromBytes(path.string());
    WIN32_FIND_DATAW entry;
    const HANDLE find = FindFirstFileExW(wide.c_str(), FindExInfoStandard, &entry, FindExSearchNameMatch, nullptr,
                                         platform::kFindLiteralName);
    EXPECT_NE(INVALID_HANDLE_VALUE, find) << path;
    FindClose(find);
    const HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return -1;
    }
    char text[64];
    DWORD read = 0;
    EXPECT_TRUE(ReadFile(file, text, sizeof text, &read, nullptr));
    CloseHandle(file);
    return static_cast<int>(read);
}

TEST(LookedUpFile, AFolderReplacedMeanwhileNeverHandsOverItsOwnFile)
{
    testing_support::TempDir temp;
    const fs::path folder = temp.path() / "f";
    temp.File("f/a", 1);
    temp.File("f/b", 2);
    temp.File("f/c", 3);
    EXPECT_EQ(1, LookUpThenRead(folder / "a"));
    EXPECT_EQ(2, LookUpThenRead(folder / "b")); // the folder is held from here on
    // The held descriptor is now the moved folder's, whose "c" is not the file the name names.
    fs::rename(folder, temp.path() / "moved");
    temp.File("f/c", 5);
    EXPECT_EQ(5, LookUpThenRead(folder / "c"));
    // Nor does a later file of the new folder come from the old one, which has one of that name.
    temp.File("f/b", 6);
    EXPECT_EQ(6, LookUpThenRead(folder / "b"));
    temp.File("f/a", 7);
    EXPECT_EQ(7, LookUpThenRead(folder / "a"));
}

} // namespace
