// Debugger interaction. Provides IsDebuggerPresent (TracerPid of /proc/self/status),
// OutputDebugStringW (to stderr, only while a debugger is attached), and the fail-fast exit.
#pragma once
#include "platform/posix/system/win32_types.h"

// Win32: TRUE while a debugger is attached to the process (here: any tracer, TracerPid non-zero).
BOOL WINAPI IsDebuggerPresent();
// Win32: hands the text to the attached debugger, and does nothing without one. Standard error
// stands for the debugger's output window: the text is written there, as its original bytes, only
// while IsDebuggerPresent().
void WINAPI OutputDebugStringW(LPCWSTR text);
// Win32: ends the process at once, without running any clean-up or handlers (the arguments are
// accepted and ignored; abort with SIGABRT semantics).
[[noreturn]] void WINAPI RaiseFailFastException(void* exceptionRecord, void* contextRecord, DWORD flags);
// Win32: the calling thread's id, unique among live threads of the process.
DWORD WINAPI GetCurrentThreadId();
