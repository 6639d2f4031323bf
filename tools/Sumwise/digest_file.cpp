// DigestFile: the lookup, then the mapping way (below 4 MiB: the whole file fed from one view)
// or the reading way (synchronous 1 MiB reads into committed pages, to the end of the file as it
// is then); files of 512 MiB and more go to DigestFileOverlapped.
#include "tools/Sumwise/digest_file.h"

#include "common/failure.h"
#include "common/failure_macros.h"
#include "common/handle_owners.h"
#include "tools/Sumwise/file_lookup.h"
#include "tools/Sumwise/owned_resources.h"

namespace {

// The whole file from one read-only view, in one call; any failure to map is the one code.
HRESULT DigestMapped(HANDLE file, ULONGLONG size, Digester& digester, BYTE* digest, DWORD* digestLength,
                     ULONGLONG* bytesHashed)
{
    const OwnedHandle mapping(CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, static_cast<DWORD>(size), nullptr));
    RETURN_HR_IF(kHrFileInvalid, !mapping.valid());
    const OwnedView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
    RETURN_HR_IF(kHrFileInvalid, view.get() == nullptr);
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

HRESULT DigestFile(const wchar_t* path, Digester& digester, BYTE* digest, DWORD* digestLength, ULONGLONG* bytesHashed,
                   bool* folder)
{
    ULONGLONG size = 0;
    bool lookedUpFolder = false;
    const HRESULT lookup = LookUpSize(path, size, lookedUpFolder);
    if (folder != nullptr) {
        *folder = lookedUpFolder;
    }
    RETURN_IF_FAILED(lookup);
    if (size == 0) {
        return kHrFileInvalid;
    }
    if (size >= kOverlappedLimit) {
        return DigestFileOverlapped(path, digester, digest, digestLength, bytesHashed);
    }
    *bytesHashed = 0;
    const OwnedHandle file(
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    RETURN_HR_IF(failure::HResultFromLastError(), !file.valid());
    RETURN_IF_FAILED(CheckRegularFile(file.get()));
    if (size < kMappingLimit) {
        return DigestMapped(file.get(), size, digester, digest, digestLength, bytesHashed);
    }
    return DigestRead(file.get(), digester, digest, digestLength, bytesHashed);
}
