// Read-only views of files. Provides CreateFileMappingW, MapViewOfFile and UnmapViewOfFile, over
// pread into private memory (mmap of anonymous pages, kept per thread for the next view).
// CloseHandle (handles.h) closes mappings.
//
// MEASUREMENTS_GO_HERE
#pragma once
#include "win32_types.h"

constexpr DWORD FILE_MAP_COPY = 0x1;
constexpr DWORD FILE_MAP_WRITE = 0x2;
constexpr DWORD FILE_MAP_READ = 0x4;
constexpr DWORD ERROR_INVALID_ADDRESS = 487;

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
