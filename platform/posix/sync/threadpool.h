// The process's thread pool. Provides QueueUserWorkItem.
#pragma once
#include "platform/posix/system/win32_types.h"

constexpr ULONG WT_EXECUTELONGFUNCTION = 0x10;

// Win32: runs function(context) on a thread of the process's pool and returns TRUE once the item
// is queued; items start in the order they were queued. The pool keeps a thread per processor
// busy while items wait, and adds a thread (up to 512) whenever queued items have waited a
// quarter of a second with no thread idle and no item finishing, so that an item never waits
// forever behind items that block.
// An exception that leaves the function is dropped (the item reports its own failures): it ends
// neither the thread nor the process. An idle thread sleeps until an item is handed to it.
// Flags are hints (WT_EXECUTELONGFUNCTION starts another thread at once when none is idle).
// FALSE with 87 for a null function, with 8 when the pool has no thread and cannot start one.
BOOL WINAPI QueueUserWorkItem(LPTHREAD_START_ROUTINE function, PVOID context, ULONG flags);
