// File and folder changes. Provides DeleteFileW, RemoveDirectoryW, SetFileAttributesW and
// GetFileAttributesW, resolved relative to an open enumeration's directory where one covers the path.
#pragma once
#include "win32_types.h"

BOOL WINAPI DeleteFileW(LPCWSTR fileName);
BOOL WINAPI RemoveDirectoryW(LPCWSTR pathName);
BOOL WINAPI SetFileAttributesW(LPCWSTR fileName, DWORD attributes);
DWORD WINAPI GetFileAttributesW(LPCWSTR fileName);
