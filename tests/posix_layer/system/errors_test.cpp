// Last-error codes of the POSIX layer: the errno mapping, file-versus-path not found, and the
// system texts of FormatMessageW.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "support/test_support.h"

namespace {

constexpr DWORD kMessageFlags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;

// The text for `id`, or "<error N>" with the last error when FormatMessageW fails.
std::wstring Message(DWORD id, DWORD size = 512, DWORD flags = kMessageFlags)
{
    std::wstring buffer(size, L'#');
    SetLastError(0xDEAD);
    const DWORD length = FormatMessageW(flags, nullptr, id, 0, buffer.data(), size, nullptr);
    if (length == 0) {
        return L"<error " + std::to_wstring(GetLastError()) + L">";
    }
    EXPECT_EQ(L'\0', buffer[length]);
    return buffer.substr(0, length);
}

TEST(ErrnoMapping, EveryRowGivesTheWin32CodeAndADescribableText)
{
    const struct {
        int err;
        DWORD code;
    } rows[] = {
        {0, 0},      {ENOENT, 2},      {ENOTDIR, 3},    {EACCES, 5},  {EPERM, 5},     {EISDIR, 5},
        {EBUSY, 32}, {ETXTBSY, 32},    {ENOTEMPTY, 145}, {EEXIST, 145}, {ENAMETOOLONG, 206},
        {ELOOP, 1921}, {EROFS, 19},    {EIO, 1117},     {ENOSPC, 112}, {EDQUOT, 112}, {ENOMEM, 8},
        {EMFILE, 4}, {ENFILE, 4},      {EINVAL, 87},    {EBADF, 6},   {EXDEV, 17},    {ENOTSUP, 50},
        {ENOSYS, 50}, {EPIPE, 109},    {ECANCELED, 995},
        // No closer match: still a failure, never 0.
        {ESTALE, 31}, {EAGAIN, 31},   {EFAULT, 31},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE("errno " + std::to_string(row.err));
        EXPECT_EQ(row.code, platform::Win32ErrorFromErrno(row.err));
        EXPECT_TRUE(Message(row.code).ends_with(L".\r\n")) << row.code;

        SetLastError(0);
        EXPECT_EQ(FALSE, platform::FailWithErrno(row.err));
        EXPECT_EQ(row.code, GetLastError());
    }
}

TEST(ErrnoMapping, MissingPathTellsFileFromPath)
{
    testing_support::TempDir dir;
    dir.File("folder/file");
    const std::string root = dir.path().string();
    const struct {
        std::string path;
        DWORD code;
    } rows[] = {
        {root + "/folder/missing", ERROR_FILE_NOT_FOUND},
        {root + "/folder/missing/", ERROR_FILE_NOT_FOUND},
        {root + "/missing/file", ERROR_PATH_NOT_FOUND},
        {root + "/missing/deeper/file", ERROR_PATH_NOT_FOUND},
        {root + "/folder/file/below", ERROR_PATH_NOT_FOUND}, // a file used as a folder
        {"/missing-at-root", ERROR_FILE_NOT_FOUND},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.code, platform::MissingPathError(AT_FDCWD, row.path.c_str())) << row.path;
    }
    // Relative to an open folder.
    const int folder = open(root.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(folder, 0);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, platform::MissingPathError(folder, "missing"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, platform::MissingPathError(folder, "folder/missing"));
    EXPECT_EQ(ERROR_PATH_NOT_FOUND, platform::MissingPathError(folder, "missing/file"));
    close(folder);
}

TEST(FormatMessage, DocumentedTextsForCodesAndTheirHresults)
{
    const struct {
        DWORD code;
        const wchar_t* text;
    } rows[] = {
        {0, L"The operation completed successfully."},
        {2, L"The system cannot find the file specified."},
        {3, L"The system cannot find the path specified."},
        {5, L"Access is denied."},
        {8, L"Not enough memory resources are available to process this command."},
        {14, L"Not enough memory resources are available to complete this operation."},
        {18, L"There are no more files."},
        {32, L"The process cannot access the file because it is being used by another process."},
        {87, L"The parameter is incorrect."},
        {122, L"The data area passed to a system call is too small."},
        {145, L"The directory is not empty."},
        {206, L"The filename or extension is too long."},
        {258, L"The wait operation timed out."},
        {267, L"The directory name is invalid."},
        {1920, L"The file cannot be accessed by the system."},
    };
    for (const auto& row : rows) {
        const std::wstring expected = std::wstring(row.text) + L"\r\n";
        EXPECT_EQ(expected, Message(row.code)) << row.code;
        EXPECT_EQ(expected, Message(static_cast<DWORD>(HRESULT_FROM_WIN32(row.code)))) << row.code;
    }
    EXPECT_EQ(Message(ERROR_OUTOFMEMORY), Message(static_cast<DWORD>(E_OUTOFMEMORY)));
    EXPECT_EQ(L"Unspecified error\r\n", Message(static_cast<DWORD>(E_FAIL)));
    EXPECT_EQ(L"Invalid algorithm specified.\r\n", Message(0x80090008));
    // The maximum-width flag drops the closing line break.
    EXPECT_EQ(L"Access is denied.", Message(5, 512, kMessageFlags | FORMAT_MESSAGE_MAX_WIDTH_MASK));
}

TEST(FormatMessage, FailuresSetTheirCodes)
{
    // "Access is denied.\r\n" is 19 characters: 20 places fit it with its terminator, 19 do not.
    EXPECT_EQ(L"Access is denied.\r\n", Message(5, 20));
    EXPECT_EQ(L"<error 122>", Message(5, 19));
    EXPECT_EQ(L"<error 122>", Message(5, 1));
    EXPECT_EQ(L"<error 317>", Message(9999));
    EXPECT_EQ(L"<error 317>", Message(0x80079999));
    EXPECT_EQ(L"<error 317>", Message(0xC0000005));
    EXPECT_EQ(L"<error 87>", Message(5, 512, kMessageFlags | FORMAT_MESSAGE_ALLOCATE_BUFFER));
    EXPECT_EQ(L"<error 87>", Message(5, 512, FORMAT_MESSAGE_FROM_STRING));

    // A failed call writes nothing.
    wchar_t small[4] = {L'#', L'#', L'#', L'#'};
    EXPECT_EQ(0u, FormatMessageW(kMessageFlags, nullptr, 2, 0, small, 4, nullptr));
    EXPECT_EQ(L'#', small[0]);
}

} // namespace
