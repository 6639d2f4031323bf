// Thread last-error state and the one errno-to-Win32 mapping of the layer.
// Provides GetLastError, SetLastError and FormatMessageW.
#pragma once
#include "platform/posix/system/win32_types.h"

#include <new>

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
// ENOENT maps to 2; calls on paths, which must tell "file" from "path" not found, use PathError.
// EEXIST maps to 145, the meaning it has for rmdir. An errno with no closer match gives 31, so a
// failure never reads as success and always has a text.
DWORD Win32ErrorFromErrno(int err);
// The one decision between "file not found" (2) and "path not found" (3), for a call on a path
// that failed with `err`; every other errno goes through Win32ErrorFromErrno.
// - PathError(err, dirFd, path): the call was on `path`, relative to `dirFd`: ENOENT is 2 when
//   the folder that should hold its last component exists, 3 when it does not (MissingPathError).
// - PathError(err): the call was opening a folder on the way, or the folder it was asked to open
//   as a folder: ENOENT is 3, whichever component is missing.
DWORD PathError(int err, int dirFd, const char* path);
DWORD PathError(int err);
// What PathError answers for an ENOENT on `path` (a narrow, platform path, relative to `dirFd`): 2
// when the parent folder exists, 3 when a folder on the way is missing or is not a folder.
DWORD MissingPathError(int dirFd, const char* path);
// Sets the thread's last error from errno and returns FALSE, the usual shell of a failing call.
BOOL FailWithErrno(int err);
// Runs `work` (a call's body) and returns its result; when an allocation inside it fails, sets
// the last error to 8 (ERROR_NOT_ENOUGH_MEMORY) and returns `failed`. Win32 calls report a memory
// shortage through their result and never throw, so no exception leaves a call of the layer.
template <typename Result, typename Work>
Result WithoutThrowing(Result failed, Work&& work) noexcept
{
    try {
        return work();
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return failed;
    }
}
} // namespace platform
