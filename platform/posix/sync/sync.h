// Synchronization objects and atomics. Provides CreateSemaphoreW, ReleaseSemaphore, CreateEventW,
// SetEvent, WaitForSingleObject, InitializeCriticalSection, EnterCriticalSection,
// LeaveCriticalSection, GetSystemInfo and the Interlocked operations the product uses. CloseHandle
// (handles.h) closes semaphores and events.
#pragma once
#include "platform/posix/system/win32_types.h"

#include <pthread.h>

using LONG64 = std::int64_t;
using LPLONG = LONG*;

constexpr DWORD ERROR_TOO_MANY_POSTS = 298;
constexpr WORD PROCESSOR_ARCHITECTURE_AMD64 = 9;

// Win32: an unnamed counting semaphore. Returns null with 87 when initialCount < 0,
// maximumCount <= 0, initialCount > maximumCount or a name is given (named objects are not
// offered); with 8 when memory is short. Security attributes are ignored.
HANDLE WINAPI CreateSemaphoreW(LPSECURITY_ATTRIBUTES attributes, LONG initialCount, LONG maximumCount, LPCWSTR name);
// Win32: adds releaseCount to the count and wakes as many waiters. FALSE with 298 (count left
// unchanged) when the count would pass the maximum, 87 for a count of 0 or less, 6 for a handle
// that is not a semaphore. previousCount (optional) receives the count before the release.
BOOL WINAPI ReleaseSemaphore(HANDLE semaphore, LONG releaseCount, LPLONG previousCount);
// Win32: an unnamed event. A manual-reset event stays signaled, releasing every wait, until it is
// reset; an auto-reset event is reset by the one wait it satisfies. Null with 87 for a name, 8
// when memory is short.
HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState, LPCWSTR name);
// Win32: signals the event; FALSE with 6 for a handle that is not an event.
BOOL WINAPI SetEvent(HANDLE event);
// Win32: WAIT_OBJECT_0 when the object is signaled (a semaphore's count is taken by one, an
// auto-reset event is reset), WAIT_TIMEOUT when it is not signaled within `milliseconds` (0:
// test without waiting; INFINITE: no time-out), WAIT_FAILED with 6 for a null handle,
// INVALID_HANDLE_VALUE (on Windows the process pseudo-handle, waited on forever) or a handle that
// is not a semaphore or event.
DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds);

// Win32: a re-entrant lock; the owning thread may enter it again and must leave as often.
struct CRITICAL_SECTION {
    pthread_mutex_t mutex;
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;
void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION section);
void WINAPI EnterCriticalSection(LPCRITICAL_SECTION section);
void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION section);

// Win32: dwNumberOfProcessors is the number of processors this process may run on (its
// affinity, which is what containers and taskset restrict), dwPageSize the page size,
// dwAllocationGranularity 64 KiB, the architecture AMD64.
void WINAPI GetSystemInfo(SYSTEM_INFO* info);

// Win32: atomic read-modify-write operations with full barriers. Increment and Decrement
// return the new value; ExchangeAdd64 returns the value before the addition; CompareExchange
// stores `exchange` only when the value equals `comparand`, and returns the value it found.
inline LONG InterlockedIncrement(LONG volatile* value)
{
    return __atomic_add_fetch(value, 1, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedDecrement(LONG volatile* value)
{
    return __atomic_sub_fetch(value, 1, __ATOMIC_SEQ_CST);
}
inline LONG64 InterlockedExchangeAdd64(LONG64 volatile* value, LONG64 addend)
{
    return __atomic_fetch_add(value, addend, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedCompareExchange(LONG volatile* value, LONG exchange, LONG comparand)
{
    __atomic_compare_exchange_n(value, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
    return comparand;
}
