// Thread last-error state and the one errno-to-Win32 mapping of the layer.
// Provides GetLastError, SetLastError and FormatMessageW.
#pragma once
#include "win32_types.h"

// Win32: the calling thread's last-error code, as set by the last failing layer call
// (layer calls that succeed leave it alone unless their contract says otherwise).
DWORD WINAPI GetLastError();
void WINAPI SetLastError(DWORD error);

// Win32: FormatMessageW with FORMAT_MESSAGE_FROM_SYSTEM (| IGNORE_INSERTS). Writes the system text
// for `messageId` (a Win32 error code or an HRESULT built from one; both give the same text),
// ending in "\r\n" (dropped when the width field is FORMAT_MESSAGE_MAX_WIDTH_MASK), and returns its
// length without the terminator. Unknown codes: returns 0 and sets 317 (ERROR_MR_MID_NOT_FOUND).
// Too small a buffer (`size` in characters, terminator included): returns 0 and sets 122.
// Other sources, ALLOCATE_BUFFER, other line widths or a null buffer return 0 with 87.
// The language is ignored: the texts are the documented English ones.
DWORD WINAPI FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPWSTR buffer,
                            DWORD size, void* arguments);

namespace platform {
// Maps an errno value to the Win32 error code that the same failure gives on Windows.
// ENOENT maps to 2; callers that must tell "file" from "path" not found use MissingPathError.
// EEXIST maps to 145, the meaning it has for rmdir. An errno with no closer match gives 31, so a
// failure never reads as success and always has a text.
DWORD Win32ErrorFromErrno(int err);
// For an ENOENT on `path` (a narrow, platform path): 2 when the parent folder exists, 3 when a
// folder on the way is missing or is not a folder.
DWORD MissingPathError(int dirFd, const char* path);
// Sets the thread's last error from errno and returns FALSE, the usual shell of a failing call.
BOOL FailWithErrno(int err);
} // namespace platform
