// Page-granular memory straight from the system. Provides VirtualAlloc and VirtualFree over
// mmap, madvise and munmap.
#pragma once
#include "platform/posix/system/win32_types.h"

constexpr DWORD MEM_COMMIT = 0x1000;
constexpr DWORD MEM_RESERVE = 0x2000;
constexpr DWORD MEM_RELEASE = 0x8000;

// Win32, with a null address: a new region of `size` bytes rounded up to whole pages, at a
// page-aligned address (the 64 KiB alignment of Windows regions is not kept; nothing here
// relies on it). MEM_COMMIT, alone or with MEM_RESERVE, gives readable and writable memory
// that reads as zeros; MEM_RESERVE alone gives address space that faults on any access.
// Committed regions below 2 MiB are made resident at once (one batched fault instead of one
// per page: callers fill their buffers right away); larger ones ask for huge pages and are
// faulted in as they are touched. The protection must be PAGE_READWRITE.
// Fails (null) with 87 for a size of 0, an address, other allocation types or other
// protections; with 8 when the system cannot give the memory.
LPVOID WINAPI VirtualAlloc(LPVOID address, SIZE_T size, DWORD allocationType, DWORD protection);
// Win32, MEM_RELEASE with a size of 0: returns the whole region that VirtualAlloc gave at
// `address` to the system. FALSE with 87 for a null address, another free type (decommitting is
// not offered) or a size other than 0; with 487 (ERROR_INVALID_ADDRESS) for an address that is
// not the start of a region VirtualAlloc gave and that is not released yet (such an address is
// left alone). Thread-safe.
BOOL WINAPI VirtualFree(LPVOID address, SIZE_T size, DWORD freeType);
