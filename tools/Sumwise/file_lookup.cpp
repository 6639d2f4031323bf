// LookUpSize over FindFirstFileExW (and CreateFileW behind a link), CheckRegularFile over
// GetFileType, SizeOfOpenFile over GetFileSize.
#include "tools/Sumwise/file_lookup.h"

#include "common/failure.h"
#include "common/failure_macros.h"
#include "common/handle_owners.h"

HRESULT LookUpSize(const wchar_t* path, ULONGLONG& size, bool& folder)
{
    WIN32_FIND_DATAW entry;
    const HANDLE find = FindFirstFileExW(path, FindExInfoStandard, &entry, FindExSearchNameMatch, nullptr,
                                         platform::kFindLiteralName);
    if (find == INVALID_HANDLE_VALUE) {
        const HRESULT hr = failure::HResultFromLastError();
        // A name that the lookup cannot take (a root, a trailing separator) may still be a folder's.
        folder = PathIsDirectoryW(path) != FALSE;
        return hr;
    }
    FindClose(find);
    folder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        size = (static_cast<ULONGLONG>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
        return S_OK;
    }
    // A link's own entry carries no size of the file behind it, and an empty link must not read
    // as an empty file.
    const OwnedHandle file(CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
    RETURN_HR_IF(failure::HResultFromLastError(), !file.valid());
    return SizeOfOpenFile(file.get(), size);
}

HRESULT CheckRegularFile(HANDLE file)
{
    // Every way reads what it opened, not what the lookup saw: a name swapped for a FIFO would
    // read as empty, a device such as /dev/zero as endless. Files and folders are the only disk
    // objects, and a folder cannot be opened without backup semantics.
    const DWORD type = GetFileType(file);
    RETURN_HR_IF(failure::HResultFromLastError(), type == FILE_TYPE_UNKNOWN && GetLastError() != ERROR_SUCCESS);
    RETURN_HR_IF(kHrFileInvalid, type != FILE_TYPE_DISK);
    return S_OK;
}

HRESULT SizeOfOpenFile(HANDLE file, ULONGLONG& size)
{
    DWORD high = 0;
    const DWORD low = GetFileSize(file, &high);
    // A low part of all ones is a real size when the call leaves no error.
    RETURN_HR_IF(failure::HResultFromLastError(), low == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS);
    size = (static_cast<ULONGLONG>(high) << 32) | low;
    return S_OK;
}
