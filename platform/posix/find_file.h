// Directory enumeration. Provides FindFirstFileExW, FindNextFileW, FindClose (and FindFirstFileW)
// over open directory descriptors (openat / getdents64 / fstatat).
#pragma once
#include "win32_types.h"

// Win32: the last path component is the pattern (PathMatchSpec wildcard rules on the name); "."
// and ".." come first with the folder's own data when they match. Errors: 2 when nothing matches
// in an existing folder, 3 when the folder is missing, 5 when it cannot be read, 123 when a
// component on the way is a file.
HANDLE WINAPI FindFirstFileExW(LPCWSTR fileName, FINDEX_INFO_LEVELS infoLevel, LPVOID findFileData,
                               FINDEX_SEARCH_OPS searchOp, LPVOID searchFilter, DWORD additionalFlags);
HANDLE WINAPI FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findFileData);
BOOL WINAPI FindNextFileW(HANDLE find, LPWIN32_FIND_DATAW findFileData);
BOOL WINAPI FindClose(HANDLE find);
