// Read-only views of files. Provides CreateFileMappingW, MapViewOfFile and UnmapViewOfFile, over
// pread into private memory (mmap of anonymous pages, kept per thread for the next view).
// CloseHandle (handles.h) closes mappings.
//
// Why the bytes are copied: a view must stay readable whatever happens to the file, which a POSIX
// mapping of a file that shrinks does not (SIGBUS), and copying also measured faster. On the
// 2-core build machine (shared: bench/read_paths/own_scheduling_group.sh), 20,000 cached files
// of 1 to 64 KiB, two threads, medians of 9 runs in seconds, tmpfs / ext4
// (bench/read_paths/run_read_paths_bench.sh 9 small <list> <consumer> <modes>):
//   consumer                              none      CRC-32C           SHA-256
//   floor: open, read 1 MiB blocks, close 0.1035    0.1018 / 0.1063   0.1142
//   fstatat, open, mmap, consume, munmap  (*)       0.7786 / 0.8021   0.9824
//   fstatat, open, pread into malloc      0.1075    0.1415 / 0.1490   0.3282
//   the same into one buffer per thread   0.1077    0.1425 / 0.1451   0.3268
//   this layer: FindFirstFileExW, CreateFileW, CreateFileMappingW, MapViewOfFile, consume,
//   UnmapViewOfFile, CloseHandle twice    0.1190    0.1518 / 0.1580   0.3400
// (*) 0.0586 when nothing is read from the mapping: every page touched costs a fault. For 400
// files of 1 to 4 MiB with CRC-32C: floor 0.0966, malloc 0.1691, per-thread buffer 0.1695, this
// layer 0.1786. The per-thread buffer measured level with malloc; it is kept because it gives
// page-aligned views, as Windows does, with no mmap and no page fault per file whatever the size.
#pragma once
#include "platform/posix/system/win32_types.h"

constexpr DWORD FILE_MAP_COPY = 0x1;
constexpr DWORD FILE_MAP_WRITE = 0x2;
constexpr DWORD FILE_MAP_READ = 0x4;

// Win32: a mapping of the first `maximumSizeHigh:maximumSizeLow` bytes of `file` (0: the whole
// file as it is now), for read-only views. A view keeps the bytes as they were when the mapping
// was made: they are read now, into private memory, so the view stays readable whatever happens
// to the file afterwards (Windows refuses to shorten a mapped file; a POSIX mapping of a file
// that shrinks would fault). A file longer than the size gives the first `size` bytes; one that is
// shorter when its bytes are read (also one that shrinks while they are read) fails with 8, as
// Windows refuses a read-only mapping larger than its file; an empty file fails with 1006
// (ERROR_FILE_INVALID). Only PAGE_READONLY is offered (others 87), without a name (87); security
// attributes are ignored. 5 for a handle opened without GENERIC_READ or a folder, 1 for a file
// that is no regular file, 6 for a handle that is not a file handle (pagefile-backed mappings
// from INVALID_HANDLE_VALUE are not offered); 8 also for a size above 1 GiB (the bytes are held
// in memory) or when memory is short; read failures through the layer's errno mapping.
// Returns null with the last error on failure.
HANDLE WINAPI CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES attributes, DWORD protect, DWORD maximumSizeHigh,
                                 DWORD maximumSizeLow, LPCWSTR name);

// Win32: a view of the whole mapping (offset 0; `bytes` 0 or up to the mapping's size), with
// FILE_MAP_READ. Every view of one mapping shows the same bytes at the same page-aligned address;
// each is ended by its own UnmapViewOfFile, and views outlive the mapping's handle. The memory
// must not be written (on Windows it is read-only). Null with the last error: 6 for a handle that
// is not a mapping, 5 for FILE_MAP_WRITE or more bytes than the mapping holds, 87 for another
// access or a non-zero offset.
LPVOID WINAPI MapViewOfFile(HANDLE mapping, DWORD desiredAccess, DWORD offsetHigh, DWORD offsetLow, SIZE_T bytes);

// Win32: ends the view that MapViewOfFile returned at `address`. FALSE with 487
// (ERROR_INVALID_ADDRESS) for an address that is not the start of a view.
BOOL WINAPI UnmapViewOfFile(LPCVOID address);
