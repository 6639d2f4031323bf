// Internal to the layer: the object behind a handle from CreateFileW, for the calls that read
// through it.
#pragma once
#include "platform/posix/system/win32_types.h"

#include "platform/posix/io/file_handle.h"
#include "platform/posix/sync/kernel_object.h"
#include "platform/posix/io/overlapped_read.h"
#include "platform/posix/resolution/unique_fd.h"

#include <memory>

namespace platform {

// The overlapped reads of a handle opened with FILE_FLAG_OVERLAPPED (overlapped_read.cpp).
// Destroying it cancels the reads still in flight and waits until each has completed, so that no
// read writes into a buffer or record once the handle is closed.
struct OverlappedReads;
struct OverlappedReadsDeleter {
    void operator()(OverlappedReads* reads) const;
};
using OverlappedReadsPtr = std::unique_ptr<OverlappedReads, OverlappedReadsDeleter>;
// The reads of descriptor `fd`, carried out by the engine chosen for handles opened now (null
// when memory is short).
OverlappedReadsPtr NewOverlappedReads(int fd);
// Starts an overlapped read for ReadFile: ERROR_IO_PENDING once it is in flight, else the error.
DWORD StartOverlappedRead(OverlappedReads& reads, void* buffer, DWORD length, OVERLAPPED& overlapped);

struct FileObject {
    std::uint32_t signature = kFileObjectSignature;
    UniqueFd fd;
    bool readable = false;   // GENERIC_READ was asked for (else the descriptor is O_PATH)
    bool overlapped = false; // FILE_FLAG_OVERLAPPED
    bool regular = false;    // a regular file (sizes and mappings are offered for these only)
    DWORD type = FILE_TYPE_UNKNOWN; // what GetFileType reports, from the fstat of the open
    OverlappedReadsPtr reads; // readable regular files opened with FILE_FLAG_OVERLAPPED; destroyed
                              // first, so the descriptor outlives every read

    FileObject() = default;
    FileObject(const FileObject&) = delete;
    FileObject& operator=(const FileObject&) = delete;
    ~FileObject() { signature = kDeadObjectSignature; }
};

// The file object behind `handle`, or null with the last error 6.
FileObject* FileObjectOf(HANDLE handle);

} // namespace platform
