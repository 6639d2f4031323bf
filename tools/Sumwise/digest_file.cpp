// DigestFile: the lookup, then the mapping way (below 4 MiB: the whole file fed from one view)
// or the reading way (synchronous 1 MiB reads into committed pages, to the end of the file as it
// is then); files of 512 MiB and more go to DigestFileOverlapped.
#include "tools/Sumwise/digest_file.h"

#include "common/failure.h"
#include "common/failure_macros.h"
#include "common/handle_owners.h"
#include "tools/Sumwise/digester.h"
#include "tools/Sumwise/owned_resources.h"

namespace {

// The size of the file behind a link: the link's own entry carries none, and an empty link must
// not read as an empty file.
HRESULT SizeBehindLink(const wchar_t* path, ULONGLONG& size)
{
    const OwnedHandle file(CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
    RETURN_HR_IF(failure::HResultFromLastError(), !file.valid());
    return SizeOfOpenFile(file.get(), size);
}

// The argument is the name of one file: where names may hold '*' and '?' (Linux), the lookup
// takes them literally, so that the size found is that of the file opened afterwards.
HRESULT LookUpSize(const wchar_t* path, ULONGLONG& size)
{
    WIN32_FIND_DATAW entry;
    const HANDLE find = FindFirstFileExW(path, FindExInfoStandard, &entry, FindExSearchNameMatch, nullptr,
                                         platform::kFindLiteralName);
    RETURN_HR_IF(failure::HResultFromLastError(), find == INVALID_HANDLE_VALUE);
    FindClose(find);
    size = (static_cast<ULONGLONG>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return SizeBehindLink(path, size);
    }
    return S_OK;
}

// The whole file from one read-only view, in one call; any failure to map is the one code.
HRESULT DigestMapped(HANDLE file, ULONGLONG size, Digester& digester, BYTE* digest, DWORD* digestLength,
                     ULONGLONG* bytesHashed)
{
    const OwnedHandle mapping(CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, static_cast<DWORD>(size), nullptr));
    RETURN_HR_IF(kHrEmptyOrUnmappable, !mapping.valid());
    const OwnedView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
    RETURN_HR_IF(kHrEmptyOrUnmappable, view.get() == nullptr);
    RETURN_IF_FAILED(digester.Begin());
    RETURN_IF_FAILED(digester.Feed(view.get(), size));
    *bytesHashed += size;
    return digester.Finish(digest, digestLength);
}

// 1 MiB reads until a read returns nothing; a read that fails ends the digest with its error,
// never as the end of the file.
HRESULT DigestRead(HANDLE file, Digester& digester, BYTE* digest, DWORD* digestLength, ULONGLONG* bytesHashed)
{
    const OwnedPages buffer(kBlockSize);
    RETURN_HR_IF(E_OUTOFMEMORY, buffer.get() == nullptr);
    RETURN_IF_FAILED(digester.Begin());
    for (;;) {
        DWORD read = 0;
        RETURN_IF_WIN32_BOOL_FALSE(ReadFile(file, buffer.get(), kBlockSize, &read, nullptr));
        if (read == 0) {
            break;
        }
        RETURN_IF_FAILED(digester.Feed(buffer.get(), read));
        *bytesHashed += read;
    }
    return digester.Finish(digest, digestLength);
}

} // namespace

HRESULT CheckRegularFile(HANDLE file)
{
    // Every way reads what it opened, not what the lookup saw: a name swapped for a FIFO would
    // read as empty, a device such as /dev/zero as endless. Files and folders are the only disk
    // objects, and a folder cannot be opened without backup semantics.
    const DWORD type = GetFileType(file);
    RETURN_HR_IF(failure::HResultFromLastError(), type == FILE_TYPE_UNKNOWN && GetLastError() != ERROR_SUCCESS);
    RETURN_HR_IF(kHrEmptyOrUnmappable, type != FILE_TYPE_DISK);
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

HRESULT DigestFile(const wchar_t* path, DWORD selector, BYTE* digest, DWORD* digestLength, ULONGLONG* bytesHashed)
{
    ULONGLONG size = 0;
    RETURN_IF_FAILED(LookUpSize(path, size));
    if (size == 0) {
        return kHrEmptyOrUnmappable;
    }
    if (size >= kOverlappedLimit) {
        return DigestFileOverlapped(path, selector, digest, digestLength, bytesHashed);
    }
    *bytesHashed = 0;
    const OwnedHandle file(
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    RETURN_HR_IF(failure::HResultFromLastError(), !file.valid());
    RETURN_IF_FAILED(CheckRegularFile(file.get()));
    Digester digester(selector);
    if (size < kMappingLimit) {
        return DigestMapped(file.get(), size, digester, digest, digestLength, bytesHashed);
    }
    return DigestRead(file.get(), digester, digest, digestLength, bytesHashed);
}
