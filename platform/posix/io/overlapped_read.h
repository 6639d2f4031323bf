// Overlapped reads of files. Provides the OVERLAPPED record, GetOverlappedResult and CancelIo
// over io_uring (liburing) or, where no ring can be set up, reader threads doing pread.
// ReadFile (file_read.h) starts the reads; CloseHandle waits for those still in flight.
//
// Engines. One io_uring ring per process, every read marked IOSQE_ASYNC so that an io-wq worker
// copies the bytes, and one completion thread that publishes results and signals events. Where
// the ring cannot be set up (io_uring_setup refused: seccomp profiles, kernel.io_uring_disabled;
// or its first no-op does not come back), four reader threads doing pread from one queue; the
// choice is made once per process, at the first handle opened with FILE_FLAG_OVERLAPPED. The
// environment variable ORVO_OVERLAPPED_READS=threads asks for the reader threads (read once, so
// that the programs' own tests can run that path too).
//
// Measured on the 2-core build machine (shared: runs in a scheduling group of their own,
// bench/read_paths/own_scheduling_group.sh), a cached 2 GiB file, 32 reads of 1 MiB in flight
// round-robin, SHA-256 of each block in file order; medians of 9 runs, seconds, ext4 / tmpfs
// (bench/read_paths/run_read_paths_bench.sh 9 raw <file> sha256 <modes>):
//   read() of 1 MiB into one buffer, no reads in flight   1.460 / 1.401
//   io_uring, completion thread                           2.092 / 1.812
//   io_uring with IOSQE_ASYNC, completion thread          1.852 / 1.828
//   pread threads: 1, 2, 4                                1.828, 1.905, 1.876 / 1.791, 1.893, 1.838
//   pread threads: 32 (5 runs)                            1.967 / 2.085
// Without IOSQE_ASYNC an ext4 read of cached data is copied inside io_uring_enter, on the
// caller's thread and 31 MiB ahead of its use; with it the ring is level with the reader threads,
// and more than four threads only cost. Through the layer (... 7 large <file> sha256 sync ring
// threads): synchronous ReadFile 1.610 / 1.662, ring 1.910 / 1.975, reader threads 1.933 /
// 1.971 (openssl dgst -sha256 of the same file: 1.61-1.67). Two 512 MiB files at once, one per
// core (5 runs): synchronous 0.458, ring 0.681, threads 0.645. 1 GiB dropped from the cache
// (POSIX_FADV_DONTNEED), one byte per cache line consumed (7 runs): ring 0.396, threads 0.361.
// So on this machine the engines are level within the spread of the runs, and both lose to one
// synchronous 1 MiB buffer: bytes that another processor wrote into 32 MiB of buffers are slower
// to hash than bytes just copied into one buffer that is still in the cache. Deferring each read
// until its collector waits for it (so that the collector copies it itself) was tried and gained
// nothing measurable (the 32 buffers are still out of the cache), so reads start at once.
#pragma once
#include "platform/posix/system/win32_types.h"

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
