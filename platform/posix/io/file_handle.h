// Open files and folders as handles. Provides CreateFileW (opening what exists, for reading or
// for queries), GetFileSize, GetFileType and GetFileInformationByHandle over openat, fstat and
// posix_fadvise.
// CloseHandle (handles.h) closes these handles.
#pragma once
#include "platform/posix/system/win32_types.h"

constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD FILE_READ_ATTRIBUTES = 0x80;
constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;
constexpr DWORD FILE_SHARE_DELETE = 0x4;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;
constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000;
constexpr DWORD FILE_FLAG_NO_BUFFERING = 0x20000000;
constexpr DWORD FILE_FLAG_SEQUENTIAL_SCAN = 0x08000000;
constexpr DWORD FILE_FLAG_BACKUP_SEMANTICS = 0x02000000;
constexpr DWORD FILE_FLAG_OPEN_REPARSE_POINT = 0x00200000;
constexpr DWORD FILE_TYPE_UNKNOWN = 0;
constexpr DWORD FILE_TYPE_DISK = 1;
constexpr DWORD FILE_TYPE_CHAR = 2;
constexpr DWORD FILE_TYPE_PIPE = 3;

struct BY_HANDLE_FILE_INFORMATION {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD dwVolumeSerialNumber;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD nNumberOfLinks;
    DWORD nFileIndexHigh;
    DWORD nFileIndexLow;
};
using LPBY_HANDLE_FILE_INFORMATION = BY_HANDLE_FILE_INFORMATION*;

// Win32: opens an existing file, or a folder with FILE_FLAG_BACKUP_SEMANTICS; a symbolic link is
// followed to what it leads to, as Windows follows reparse points.
// - Access: GENERIC_READ opens for reading; 0 or FILE_READ_ATTRIBUTES (no read permission needed)
//   opens for queries only, and a read on such a handle fails with 5. Writing is not offered:
//   any other access right fails with 87. Share modes and security attributes are accepted and
//   not enforced (POSIX has no share modes).
// - Only OPEN_EXISTING is offered; the other dispositions fail with 87 (nothing is ever created).
// - Flags: FILE_FLAG_SEQUENTIAL_SCAN asks the system for sequential read-ahead
//   (POSIX_FADV_SEQUENTIAL, for files larger than the default read-ahead window of 128 KiB);
//   FILE_FLAG_OVERLAPPED marks the handle for reads with an OVERLAPPED (file_read.h), carried out
//   by the engine chosen when the handle is opened (overlapped_read.h);
//   FILE_FLAG_BACKUP_SEMANTICS lets a folder be opened (without it a folder fails with 5);
//   FILE_FLAG_OPEN_REPARSE_POINT is not offered (87); other flag and attribute bits are ignored.
// - Opening never waits: a FIFO without a writer opens at once (its reads then block as a pipe's
//   do), a socket fails with the mapping of ENXIO.
// - Paths resolve as the file calls of file_ops.h do: inside a folder that an open enumeration of
//   this thread covers, through that enumeration's descriptor; at any length, and through more
//   links than the 40 that one lookup of the kernel follows. A missing last
//   component is 2, a missing folder on the way 3, a name ending in a separator that is no folder
//   123. A template file must be null (87).
// Returns INVALID_HANDLE_VALUE with the last error on failure.
HANDLE WINAPI CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                          DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile);

// Win32: the size of a regular file (the low 32 bits returned, the high ones through `sizeHigh`
// when it is not null); 0 for anything else (folders, FIFOs, devices). A size whose low part is
// all ones sets the last error to 0, so that callers can tell it from a failure. A handle that is
// not a file handle gives INVALID_FILE_SIZE with 6.
DWORD WINAPI GetFileSize(HANDLE file, LPDWORD sizeHigh);

// Win32: the kind of object the handle is open on, as the descriptor's fstat found it at the open
// (the kind of an open object never changes, so no system call is made): FILE_TYPE_DISK for a
// regular file or a folder, FILE_TYPE_CHAR for a character device (/dev/zero, a terminal),
// FILE_TYPE_PIPE for a FIFO or a socket. A block device is FILE_TYPE_UNKNOWN with the last error
// 0 (Windows reaches a disk only through a device name, never through a file's path, so nothing
// that a file name leads to may read as one). A handle that is not a file handle gives
// FILE_TYPE_UNKNOWN with 6.
DWORD WINAPI GetFileType(HANDLE file);

// Win32: what the handle's file or folder is. Attributes and size as FindFirstFileExW reports
// them (never REPARSE_POINT: the handle is of the link's target); the times; the link count;
// the identity that tells two handles of the same object: dwVolumeSerialNumber from the device
// number (exact for every device number below 2^32, that is majors below 4096 and minors below
// 2^20; larger ones are folded into 32 bits) and nFileIndexHigh/Low from the inode number.
// FALSE with 6 for a handle that is not a file handle, 87 for a null record.
BOOL WINAPI GetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information);
