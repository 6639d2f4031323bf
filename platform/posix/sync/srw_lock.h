// Slim reader-writer locks. Provides AcquireSRWLockExclusive, ReleaseSRWLockExclusive,
// AcquireSRWLockShared and ReleaseSRWLockShared over an atomic state word; a thread that waits
// sleeps in the kernel (futex) and costs no processor time.
#pragma once
#include "platform/posix/system/win32_types.h"

// Win32: a pointer-sized lock, statically initialized with SRWLOCK_INIT;
// needs no clean-up and must not be moved while in use. Not recursive: a thread that acquires a
// lock it already holds exclusively blocks for ever, as on Windows.
struct SRWLOCK {
    PVOID Ptr;
};
using PSRWLOCK = SRWLOCK*;
#define SRWLOCK_INIT {nullptr}

// Win32: waits until no thread holds the lock, then holds it alone.
void WINAPI AcquireSRWLockExclusive(PSRWLOCK lock);
// Win32: releases a lock held exclusively by the calling thread.
void WINAPI ReleaseSRWLockExclusive(PSRWLOCK lock);
// Win32: waits until no thread holds the lock exclusively, then holds it together with the
// other shared holders.
void WINAPI AcquireSRWLockShared(PSRWLOCK lock);
// Win32: releases one shared hold.
void WINAPI ReleaseSRWLockShared(PSRWLOCK lock);
