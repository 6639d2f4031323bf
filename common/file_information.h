// What a path names, read without opening it for reading: the attributes, times and identity
// that GetFileInformationByHandle gives, for files and folders alike.
#pragma once
#include "platform/platform.h"

// The information of what `path` names, a link followed to its target: CreateFileW with query
// access only, every share mode (nothing is held against others) and backup semantics (so that
// folders open), then GetFileInformationByHandle. The HRESULT of the failing call otherwise.
HRESULT ReadFileInformation(const wchar_t* path, BY_HANDLE_FILE_INFORMATION& information);

// What tells two files or folders apart: the volume's serial number and the file index on it.
struct FileIdentity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
    bool operator==(const FileIdentity&) const = default;
};

inline FileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& information)
{
    return FileIdentity{information.dwVolumeSerialNumber, information.nFileIndexHigh, information.nFileIndexLow};
}

// The identity of what `path` names, a link followed (ReadFileInformation).
HRESULT ReadIdentity(const wchar_t* path, FileIdentity& identity);
