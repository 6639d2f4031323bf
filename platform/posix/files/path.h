// Path text functions on POSIX paths ('/' separator, no long-path prefix). Provides
// PathCchCanonicalizeEx, PathCchAddBackslashEx, GetFullPathNameW, GetCurrentDirectoryW,
// GetTempPathW, PathIsDirectoryW, PathCchSkipRoot; and, inside the layer, the cut of a path's bytes.
#pragma once
#include "platform/posix/system/win32_types.h"

#include <string_view>

namespace platform {
// A path's bytes cut at its last separator: the folder part ("" when there is no separator, "/"
// for a name at the root) and the last component. `path` ends in no separator unless it is "/".
struct PathCut {
    std::string_view folder;
    std::string_view name;
};
PathCut CutAtLastSeparator(std::string_view path);
} // namespace platform

// Win32: the canonical form of `pathIn`: "." segments removed, each ".." removes the segment
// before it (never above "/"), all other text kept as it is, doubled separators included (as the
// system keeps doubled backslashes) and a trailing separator too.
// - PATHCCH_ENSURE_IS_EXTENDED_LENGTH_PATH (0x10): a relative path is first put after the current
//   folder, so the result is always absolute; the extended-length prefix is empty on POSIX.
// - Without it a relative path stays relative, and unlike the system a ".." that has nothing
//   before it stays ("../x"), and a path that resolves to nothing gives "." rather than the root
//   folder: "a/.." names the current folder, not "/".
// - Without PATHCCH_ALLOW_LONG_PATHS (0x1) or 0x10, a result of MAX_PATH characters or more fails
//   with 0x800700CE. Other option bits, and 0x11 together, give E_INVALIDARG.
// Results: an input of PATHCCH_MAX_CCH (32,768) characters or more, 0x800700CE; a result that does
// not fit cchPathOut with its terminator, 0x8007007A; cchPathOut 0 or above PATHCCH_MAX_CCH, or a
// null argument, E_INVALIDARG (buffer untouched). Other failures leave pathOut empty.
HRESULT WINAPI PathCchCanonicalizeEx(PWSTR pathOut, size_t cchPathOut, PCWSTR pathIn, ULONG flags);
// Win32: appends the separator '/' (only '/' counts as one) unless the text is empty or already
// ends in one (S_FALSE); S_OK when it appended. `end` receives the address of the terminator and
// `remaining` cchPath minus the new length (terminator place included); both may be null. When the
// separator does not fit (also when no terminator lies within cchPath, cchPath 0 included):
// 0x8007007A, buffer unchanged, end null, remaining 0. A null path or a cchPath above
// PATHCCH_MAX_CCH: E_INVALIDARG.
HRESULT WINAPI PathCchAddBackslashEx(PWSTR path, size_t cchPath, PWSTR* end, size_t* remaining);
// Win32: the absolute form of `fileName`: a relative name is put after the current folder; "."
// and ".." are resolved textually (never above "/"), doubled separators collapse and a trailing
// separator stays. Blanks and dots are ordinary name characters on POSIX and are kept. Returns the
// length written without the terminator; when `buffer` is null or bufferLength is not above the
// length, the size needed (terminator included) with the buffer untouched and `filePart` null.
// On success `filePart` (if given) points at the last component, or is null when the result ends
// in '/'. An empty name returns 0 and leaves the last error and `filePart` alone; a null name
// returns 0 with 87; a current folder that cannot be read returns 0 with its error.
DWORD WINAPI GetFullPathNameW(LPCWSTR fileName, DWORD bufferLength, LPWSTR buffer, LPWSTR* filePart);
// Win32: the current folder without a trailing separator (except "/"), also when it is longer than
// PATH_MAX; the length rules of GetFullPathNameW. 0 with the error when it cannot be read (2 when
// the folder was removed, 5 when a folder above it cannot be read).
DWORD WINAPI GetCurrentDirectoryW(DWORD bufferLength, LPWSTR buffer);
// Win32: the temporary folder as a full path ending in '/': $TMPDIR when it is an absolute path
// that names an existing folder (links followed, at any length), with its dot segments resolved
// and doubled separators collapsed as GetFullPathNameW does; otherwise (unset, empty, blank,
// relative, missing, a file) "/tmp/", as the C library's temporary-file functions fall back.
// The length rules of GetFullPathNameW: a folder that does not fit gives the size needed.
DWORD WINAPI GetTempPathW(DWORD bufferLength, LPWSTR buffer);
// Win32: FILE_ATTRIBUTE_DIRECTORY (a true value) when the path names an existing folder, following
// symbolic links, also for paths longer than PATH_MAX; FALSE otherwise (null, empty, missing, a
// file, or a name that has no byte form).
BOOL WINAPI PathIsDirectoryW(LPCWSTR path);
// Win32: `rootEnd` receives the address of the first character behind the root of an absolute
// path, that is behind its leading separators ("tmp/x" for "/tmp/x" and for "//tmp/x"); for a
// path that is only a root ("/", "//"), its terminator. A relative or empty path, or a null
// argument, gives E_INVALIDARG and leaves `rootEnd` alone.
HRESULT WINAPI PathCchSkipRoot(PCWSTR path, PCWSTR* rootEnd);
