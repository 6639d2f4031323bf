// The standard handles and the console calls a status line needs: GetStdHandle, GetConsoleMode
// and WriteConsoleW, over the process's descriptors 0, 1 and 2 and isatty.
#pragma once
#include "platform/posix/system/win32_types.h"

inline constexpr DWORD STD_INPUT_HANDLE = static_cast<DWORD>(-10);
inline constexpr DWORD STD_OUTPUT_HANDLE = static_cast<DWORD>(-11);
inline constexpr DWORD STD_ERROR_HANDLE = static_cast<DWORD>(-12);
inline constexpr DWORD ENABLE_PROCESSED_OUTPUT = 0x0001;
inline constexpr DWORD ENABLE_WRAP_AT_EOL_OUTPUT = 0x0002;

// Win32: the handle of standard input, output or error (the same handle on every call); any other
// value fails with INVALID_HANDLE_VALUE and ERROR_INVALID_PARAMETER.
HANDLE WINAPI GetStdHandle(DWORD which);
// Win32: TRUE, with the output modes, when the handle is a console (here: a terminal); a handle
// that is no console fails with ERROR_INVALID_HANDLE, as a file or a pipe does on Windows.
BOOL WINAPI GetConsoleMode(HANDLE console, LPDWORD mode);
// Win32: writes `length` characters to the console handle, as their bytes (BytesFromWide), whole;
// `written` receives the characters written. Fails with ERROR_INVALID_HANDLE for a handle that is
// no console, or with the write's error.
BOOL WINAPI WriteConsoleW(HANDLE console, const void* text, DWORD length, LPDWORD written, LPVOID reserved);
