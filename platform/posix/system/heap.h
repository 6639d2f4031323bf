// Win32 heaps over the C allocator. Provides HeapCreate, HeapDestroy, HeapAlloc, HeapFree,
// GetProcessHeap.
#pragma once
#include "platform/posix/system/win32_types.h"

// Win32: a private heap; the flags and sizes are accepted and need not be honoured beyond
// HEAP_ZERO_MEMORY. Returns null (last error 8) when it cannot be made.
HANDLE WINAPI HeapCreate(DWORD options, SIZE_T initialSize, SIZE_T maximumSize);
// Win32: frees every block still held by the heap; the process heap cannot be destroyed (FALSE, 5);
// a null handle gives FALSE, 6.
BOOL WINAPI HeapDestroy(HANDLE heap);
// Win32: a block of `bytes` (zero-filled with HEAP_ZERO_MEMORY, or when the heap was created with
// it), 16-byte aligned; null on failure, with no last error set.
LPVOID WINAPI HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
// Win32: TRUE for a block of this heap or a null pointer; a pointer the heap did not hand out is
// left alone and gives FALSE, 87.
BOOL WINAPI HeapFree(HANDLE heap, DWORD flags, LPVOID block);
// Win32: the process's own heap, which lives until the process ends. All heaps are thread-safe.
HANDLE WINAPI GetProcessHeap();
