// Internal to the layer: the object behind a handle from CreateFileW, for the calls that read
// through it.
#pragma once
#include "win32_types.h"

#include "platform/posix/dir_handles.h"
#include "platform/posix/kernel_object.h"

namespace platform {

struct FileObject {
    std::uint32_t signature = kFileObjectSignature;
    UniqueFd fd;
    bool readable = false;   // GENERIC_READ was asked for (else the descriptor is O_PATH)
    bool overlapped = false; // FILE_FLAG_OVERLAPPED
    bool regular = false;    // a regular file (sizes and mappings are offered for these only)

    FileObject() = default;
    FileObject(const FileObject&) = delete;
    FileObject& operator=(const FileObject&) = delete;
    ~FileObject() { signature = kDeadObjectSignature; }
};

// The file object behind `handle`, or null with the last error 6.
FileObject* FileObjectOf(HANDLE handle);

} // namespace platform
