// DeleteActions: what a real cleanup does with what the walk selects.
#include "api-orvo-files/cleanup_walk.h"

#include "common/failure.h"

HRESULT DeleteActions::RemoveFile(PCWSTR path, const WIN32_FIND_DATAW& entry, bool clearReadOnly)
{
    const DWORD attributes = entry.dwFileAttributes;
    if (clearReadOnly && !SetFileAttributesW(path, attributes & ~FILE_ATTRIBUTE_READONLY)) {
        return failure::HResultFromLastError();
    }
    if (DeleteFileW(path)) {
        return S_OK;
    }
    const HRESULT hr = failure::HResultFromLastError();
    if (clearReadOnly) {
        // The file stays: so does its mark.
        SetFileAttributesW(path, attributes);
    }
    return hr;
}

bool DeleteActions::RemoveFolder(PCWSTR path, const FolderContents&)
{
    // The system knows best whether the folder is empty now.
    return RemoveDirectoryW(path) != FALSE;
}
