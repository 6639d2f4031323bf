// File changes of the POSIX layer over real temporary trees: DeleteFileW, RemoveDirectoryW and
// SetFileAttributesW results and error codes, links never followed, and
// the mode that the enumeration hands to the calls on the entry it has just returned.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>

#include "support/test_support.h"

namespace {
namespace fs = std::filesystem;

std::wstring Wide(const fs::path& path)
{
    return platform::WideFromBytes(path.string());
}

mode_t ModeOf(const fs::path& path)
{
    struct stat info {};
    EXPECT_EQ(0, lstat(path.c_str(), &info)) << path;
    return info.st_mode & 07777;
}

// Result of a BOOL call: 0 on success, else the last error.
DWORD ErrorOf(BOOL result)
{
    return result ? 0 : GetLastError();
}

class FileOps : public testing::Test {
protected:
    void SetUp() override
    {
        dir_.File("file", 4);
        fs::permissions(dir_.File("readonly", 4), fs::perms::owner_write, fs::perm_options::remove);
        dir_.Folder("empty");
        dir_.File("full/x");
        fs::permissions(dir_.Folder("readonly-empty"), fs::perms::owner_write, fs::perm_options::remove);
        dir_.File("outside/target", 1);
        fs::create_symlink(dir_.path() / "outside/target", dir_.path() / "link-to-file");
        fs::create_symlink(dir_.path() / "outside", dir_.path() / "link-to-folder");
        root_ = Wide(dir_.path());
    }
    std::wstring At(const wchar_t* relative) const { return root_ + L"/" + relative; }
    bool Exists(const char* relative) const { return fs::exists(fs::symlink_status(dir_.path() / relative)); }

    testing_support::TempDir dir_;
    std::wstring root_;
};

TEST_F(FileOps, DeleteFileResultsAndErrors)
{
    const struct {
        const wchar_t* path;
        DWORD error;
        const char* stays; // what must still exist afterwards, or null
    } rows[] = {
        {L"readonly", ERROR_ACCESS_DENIED, "readonly"},
        {L"empty", ERROR_ACCESS_DENIED, "empty"},
        {L"missing", ERROR_FILE_NOT_FOUND, nullptr},
        {L"missing/x", ERROR_PATH_NOT_FOUND, nullptr},
        {L"file/x", ERROR_PATH_NOT_FOUND, "file"},
        {L"file/", ERROR_INVALID_NAME, "file"},
        {L"link-to-file", 0, "outside/target"},
        {L"link-to-folder", 0, "outside/target"},
        {L"file", 0, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.path)));
        EXPECT_EQ(row.error, ErrorOf(DeleteFileW(At(row.path).c_str())));
        if (row.stays != nullptr) {
            EXPECT_TRUE(Exists(row.stays));
        }
    }
    EXPECT_FALSE(Exists("file"));
    EXPECT_FALSE(Exists("link-to-file"));
    EXPECT_FALSE(Exists("link-to-folder"));
    // After clearing the attribute the read-only file goes.
    EXPECT_TRUE(SetFileAttributesW(At(L"readonly").c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(DeleteFileW(At(L"readonly").c_str()));
    EXPECT_FALSE(Exists("readonly"));
}

TEST_F(FileOps, RemoveDirectoryResultsAndErrors)
{
    const struct {
        const wchar_t* path;
        DWORD error;
        const char* stays;
    } rows[] = {
        {L"full", ERROR_DIR_NOT_EMPTY, "full/x"},
        {L"file", ERROR_DIRECTORY, "file"},
        {L"link-to-folder", ERROR_DIRECTORY, "outside/target"},
        {L"missing", ERROR_FILE_NOT_FOUND, nullptr},
        {L"missing/x", ERROR_PATH_NOT_FOUND, nullptr},
        {L"file/x", ERROR_PATH_NOT_FOUND, "file"},
        {L"empty/", 0, nullptr},
        {L"readonly-empty", 0, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.path)));
        EXPECT_EQ(row.error, ErrorOf(RemoveDirectoryW(At(row.path).c_str())));
        if (row.stays != nullptr) {
            EXPECT_TRUE(Exists(row.stays));
        }
    }
    EXPECT_FALSE(Exists("empty"));
    EXPECT_FALSE(Exists("readonly-empty"));
    EXPECT_TRUE(Exists("link-to-folder"));
}

TEST_F(FileOps, SetAttributesChangesOnlyTheOwnerWriteBitOfFiles)
{
    const fs::path file = dir_.path() / "file";
    fs::permissions(file, fs::perms(0640));
    EXPECT_TRUE(SetFileAttributesW(At(L"file").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(0440u, ModeOf(file));
    EXPECT_TRUE(SetFileAttributesW(At(L"file").c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(0640u, ModeOf(file));
    EXPECT_TRUE(SetFileAttributesW(At(L"file").c_str(), FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(0640u, ModeOf(file));

    // Links and folders keep their mode; the link's target is never changed.
    const mode_t target = ModeOf(dir_.path() / "outside/target");
    EXPECT_TRUE(SetFileAttributesW(At(L"link-to-file").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(target, ModeOf(dir_.path() / "outside/target"));
    const mode_t folder = ModeOf(dir_.path() / "empty");
    EXPECT_TRUE(SetFileAttributesW(At(L"empty").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(folder, ModeOf(dir_.path() / "empty"));

    EXPECT_EQ(ERROR_FILE_NOT_FOUND, ErrorOf(SetFileAttributesW(At(L"missing").c_str(), 0)));
    EXPECT_EQ(ERROR_PATH_NOT_FOUND, ErrorOf(SetFileAttributesW(At(L"missing/x").c_str(), 0)));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, ErrorOf(SetFileAttributesW(At(L"file").c_str(), INVALID_FILE_ATTRIBUTES)));
}

// The engine clears the read-only bit and deletes the entry it has just enumerated; the calls
// use the mode the enumeration read, so they must keep it up to date.
TEST_F(FileOps, CallsOnTheEnumeratedEntryFollowAttributeChanges)
{
    WIN32_FIND_DATAW data {};
    const HANDLE all = FindFirstFileExW((root_ + L"/*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
    ASSERT_NE(INVALID_HANDLE_VALUE, all);
    int deleted = 0;
    do {
        const std::wstring name = data.cFileName;
        const std::wstring path = At(name.c_str());
        if (name == L"readonly") {
            EXPECT_EQ(ERROR_ACCESS_DENIED, ErrorOf(DeleteFileW(path.c_str())));
            EXPECT_TRUE(SetFileAttributesW(path.c_str(), data.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY));
            EXPECT_TRUE(DeleteFileW(path.c_str()));
            ++deleted;
        } else if (name == L"file") {
            EXPECT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
            EXPECT_EQ(ERROR_ACCESS_DENIED, ErrorOf(DeleteFileW(path.c_str())));
        } else if (name == L"full") {
            EXPECT_EQ(ERROR_ACCESS_DENIED, ErrorOf(DeleteFileW(path.c_str())));
            EXPECT_EQ(ERROR_FILE_NOT_FOUND, ErrorOf(DeleteFileW((path + L"x").c_str())));
        }
    } while (FindNextFileW(all, &data));
    FindClose(all);
    EXPECT_EQ(1, deleted);
    EXPECT_FALSE(Exists("readonly"));
    EXPECT_TRUE(Exists("file"));
    EXPECT_TRUE(Exists("full/x"));
}

} // namespace
