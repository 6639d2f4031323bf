// Reading files. Provides ReadFile: synchronous reads over read(2), and the start of overlapped
// reads (overlapped_read.h) on handles opened with FILE_FLAG_OVERLAPPED.
#pragma once
#include "platform/posix/system/win32_types.h"

#include "platform/posix/io/overlapped_read.h"

constexpr DWORD ERROR_NOACCESS = 998;

// Win32: reads up to `bytesToRead` bytes into `buffer`.
// - Synchronous (a handle opened without FILE_FLAG_OVERLAPPED, `overlapped` null): reads at the
//   file position and moves it. A regular file gives every byte asked for up to its end; TRUE
//   with 0 bytes at (or beyond) the end. Pipes, FIFOs and devices give what one blocking read
//   gives (a FIFO waits for data or for its writers to go; when none is left, TRUE with 0, as
//   the end of the data). `bytesRead` receives the count (set to 0 first); it is required (87).
// - Overlapped (a handle opened with FILE_FLAG_OVERLAPPED, `overlapped` required): starts a read
//   of a regular file at the record's 64-bit offset (Offset, OffsetHigh) and returns FALSE with
//   997 (ERROR_IO_PENDING), always, also when the data is there at once; `bytesRead` may be null
//   and receives 0. The record's event (optional) is reset now and signaled when the read
//   completes; Internal holds STATUS_PENDING until then, and then the status, InternalHigh the
//   bytes; GetOverlappedResult gives the result. The buffer and the record belong to the read
//   until it has completed. A read starting at or beyond the end of the file completes with
//   38 (ERROR_HANDLE_EOF); one that reaches the end completes with the bytes up to it; otherwise
//   a read completes with every byte asked for. If the read cannot be started, FALSE with its
//   error: 6 for an event that is no event, 8 when memory is short, 50 for a file that is not a
//   regular file.
// Errors: 5 for a handle opened for queries only (no GENERIC_READ), and for a folder; 6 for a
// handle that is not a file handle; 87 for a synchronous read with a record or an overlapped one
// without one; 998 for a null buffer when bytes are asked for; failures of the read through the layer's errno mapping.
BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED overlapped);
