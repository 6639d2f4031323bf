// Debugger interaction. Provides IsDebuggerPresent (TracerPid of /proc/self/status),
// OutputDebugStringW (to stderr, only while a debugger is attached), and the fail-fast exit.
#pragma once
#include "win32_types.h"

BOOL WINAPI IsDebuggerPresent();
void WINAPI OutputDebugStringW(LPCWSTR text);
// Win32: ends the process at once, without running any clean-up or handlers (the arguments are
// accepted and ignored; abort with SIGABRT semantics).
[[noreturn]] void WINAPI RaiseFailFastException(void* exceptionRecord, void* contextRecord, DWORD flags);
// Win32: the calling thread's id, unique among live threads of the process.
DWORD WINAPI GetCurrentThreadId();
DWORD WINAPI GetCurrentProcessId();
