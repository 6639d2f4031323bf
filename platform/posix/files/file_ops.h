// File and folder changes. Provides DeleteFileW, RemoveDirectoryW and SetFileAttributesW, resolved
// relative to an open enumeration's directory where one covers the path.
#pragma once
#include "platform/posix/system/win32_types.h"

// Common to the three calls: a path inside a folder that an open enumeration of this thread
// covers is resolved from that enumeration's directory, one component at a time, without
// following any symbolic link (a link on the way fails with 3); other paths are resolved as the
// kernel does, links included, at any length. A missing last component is 2, a missing folder
// on the way (or a file used as one) is 3; other failures go through the one errno mapping.

// Win32: deletes a file, or a symbolic link itself (never its target). A read-only file (owner
// write bit clear) fails with 5 and stays; a folder fails with 5; a name ending in a separator
// fails with 123.
BOOL WINAPI DeleteFileW(LPCWSTR fileName);
// Win32: removes an empty folder; a trailing separator is allowed. Not empty: 145; a file or a
// symbolic link: 267. "<dir>/<sub>/" works while <sub>'s own enumeration is still open.
BOOL WINAPI RemoveDirectoryW(LPCWSTR pathName);
// Win32: for a file, FILE_ATTRIBUTE_READONLY clears the owner write bit and its absence sets it;
// the other bits are accepted and ignored. A symbolic link (which has no permission bits of its
// own; the target is never changed) and a folder (READONLY on a Windows folder does not protect
// its entries, a clear write bit here would) keep their mode, and the call succeeds.
// INVALID_FILE_ATTRIBUTES fails with 87.
BOOL WINAPI SetFileAttributesW(LPCWSTR fileName, DWORD attributes);
