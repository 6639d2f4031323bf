// One-time initialization. Provides InitOnceBeginInitialize and InitOnceComplete (synchronous
// mode, no flags), over an atomic state word with futex-based waiting.
#pragma once
#include "platform/posix/system/win32_types.h"

// Win32: a pointer-sized record, statically initialized with INIT_ONCE_STATIC_INIT; needs no
// clean-up. Its low two bits hold the state, the rest the context of a completed initialization.
struct INIT_ONCE {
    PVOID Ptr;
};
using PINIT_ONCE = INIT_ONCE*;
using LPINIT_ONCE = INIT_ONCE*;
#define INIT_ONCE_STATIC_INIT {nullptr}

constexpr DWORD INIT_ONCE_CTX_RESERVED_BITS = 2;

// Win32, synchronous mode: the first caller gets TRUE with *pending TRUE and must call
// InitOnceComplete; callers arriving meanwhile block until it does. Once completed, every caller
// gets TRUE with *pending FALSE and *context (optional) set to the context that InitOnceComplete
// published. Only flags 0 is provided: any other flag gives FALSE with 87 (ERROR_INVALID_PARAMETER).
BOOL WINAPI InitOnceBeginInitialize(LPINIT_ONCE initOnce, DWORD flags, BOOL* pending, LPVOID* context);
// Win32: ends the initialization begun by InitOnceBeginInitialize, publishes `context` and wakes
// the waiters. FALSE with 87 when flags is not 0 or the low INIT_ONCE_CTX_RESERVED_BITS bits of
// `context` are not zero; FALSE with 31 (ERROR_GEN_FAILURE) when no initialization is in progress.
BOOL WINAPI InitOnceComplete(LPINIT_ONCE initOnce, DWORD flags, LPVOID context);
