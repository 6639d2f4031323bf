// Path text functions on POSIX paths ('/' separator, no prefix). Provides PathCchCanonicalizeEx,
// PathCchAddBackslashEx, GetFullPathNameW, GetCurrentDirectoryW, GetTempPathW, PathIsDirectoryW.
#pragma once
#include "win32_types.h"

// Win32: canonical form of `path` ("." and ".." segments resolved, never above the root).
// With PATHCCH_ENSURE_IS_EXTENDED_LENGTH_PATH a relative path is first resolved against the
// current folder, so the result is always absolute. Results longer than cchPathOut - 1 give
// 0x8007007A; an input of PATHCCH_MAX_CCH characters or more gives 0x800700CE.
HRESULT WINAPI PathCchCanonicalizeEx(PWSTR pathOut, size_t cchPathOut, PCWSTR pathIn, ULONG flags);
// Win32: appends the separator '/' unless the text is empty or already ends in one (S_FALSE);
// `end` receives the address of the terminator and `remaining` cch minus the length. When the
// separator does not fit: 0x8007007A, buffer unchanged, end null and remaining 0.
HRESULT WINAPI PathCchAddBackslashEx(PWSTR path, size_t cchPath, PWSTR* end, size_t* remaining);
// Win32: the absolute form of `fileName` against the current folder, "." and ".." resolved textually;
// returns the length written, or the size needed (with the terminator) when the buffer is too
// small, or 0 for an empty name. `filePart` gets the last component (null when the result ends in '/').
DWORD WINAPI GetFullPathNameW(LPCWSTR fileName, DWORD bufferLength, LPWSTR buffer, LPWSTR* filePart);
// Win32: the current folder without a trailing separator (except the root); same length rules.
DWORD WINAPI GetCurrentDirectoryW(DWORD bufferLength, LPWSTR buffer);
// Win32: $TMPDIR, else "/tmp/", always ending in '/'; same length rules.
DWORD WINAPI GetTempPathW(DWORD bufferLength, LPWSTR buffer);
// Win32: TRUE when the path names an existing folder (following links).
BOOL WINAPI PathIsDirectoryW(LPCWSTR path);
