// Debugger interaction. Provides IsDebuggerPresent (TracerPid of /proc/self/status),
// OutputDebugStringW (to stderr, only while a debugger is attached), and the fail-fast exit.
#pragma once
#include "win32_types.h"

BOOL WINAPI IsDebuggerPresent();
void WINAPI OutputDebugStringW(LPCWSTR text);
// Ends the process at once, without running any clean-up (abort with SIGABRT semantics).
[[noreturn]] void RaiseFailFastException();
// Win32: the calling thread's id, unique among live threads of the process.
DWORD WINAPI GetCurrentThreadId();
DWORD WINAPI GetCurrentProcessId();
