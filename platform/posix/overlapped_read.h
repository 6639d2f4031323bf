// Overlapped reads of files. Provides the OVERLAPPED record, GetOverlappedResult and CancelIo
// over io_uring (liburing) or, where no ring can be set up, reader threads doing pread.
// ReadFile (file_read.h) starts the reads; CloseHandle waits for those still in flight.
#pragma once
#include "win32_types.h"

constexpr DWORD ERROR_OPERATION_ABORTED = 995;
constexpr DWORD ERROR_IO_INCOMPLETE = 996;

// The status words OVERLAPPED.Internal holds, as on Windows (NTSTATUS values). Other failures are
// held as 0xC0070000 | Win32 error, the form Windows gives a status made from a Win32 code.
constexpr ULONG_PTR STATUS_PENDING = 0x103;
constexpr ULONG_PTR STATUS_END_OF_FILE = 0xC0000011;
constexpr ULONG_PTR STATUS_CANCELLED = 0xC0000120;

// Layout as the Win32 SDK: Internal (status), InternalHigh (bytes transferred), the 64-bit file
// offset as Offset/OffsetHigh (or Pointer), and the optional event.
struct OVERLAPPED {
    ULONG_PTR Internal;
    ULONG_PTR InternalHigh;
    union {
        struct {
            DWORD Offset;
            DWORD OffsetHigh;
        };
        PVOID Pointer;
    };
    HANDLE hEvent;
};
using LPOVERLAPPED = OVERLAPPED*;

// Win32: the result of an overlapped read on `file` (the handle the read was started on).
// While the read is in flight: with `wait` FALSE, FALSE with 996 (ERROR_IO_INCOMPLETE); with
// `wait` TRUE, waits for it: on the record's event when it has one (an auto-reset event is
// reset by that wait, as on Windows; a read that has already completed is not waited for, so its
// event stays signaled), else on the handle. Then `bytesTransferred` (optional here) receives
// InternalHigh, and the result is TRUE for a read that succeeded (a short count at the end of
// the file included), or FALSE with its error: 38 (ERROR_HANDLE_EOF) for a read that started at
// or beyond the end of the file, 995 (ERROR_OPERATION_ABORTED) for a cancelled one, else the
// read's error through the layer's errno mapping. FALSE with 6 for a handle that is not a file
// handle, 87 for a null record, or for a read in flight on a handle opened without
// FILE_FLAG_OVERLAPPED (no read of this layer can be in flight there).
BOOL WINAPI GetOverlappedResult(HANDLE file, LPOVERLAPPED overlapped, LPDWORD bytesTransferred, BOOL wait);

// Win32: cancels the overlapped reads that the calling thread started on `file` and that are
// still in flight. It does not wait: each of them still completes, with 995 when it was stopped
// in time, or with its data when it was already being done (as on Windows, a driver may finish
// a read that it has begun). The caller waits for each (GetOverlappedResult) before it releases
// the buffers and records. Reads of other threads go on. TRUE, also when nothing was in flight;
// FALSE with 6 for a handle that is not a file handle.
BOOL WINAPI CancelIo(HANDLE file);
