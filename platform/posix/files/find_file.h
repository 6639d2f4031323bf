// Directory enumeration. Provides FindFirstFileExW, FindNextFileW, FindClose
// over open directory descriptors (openat / getdents64 / fstatat).
#pragma once
#include "platform/posix/system/win32_types.h"

// Win32: the last path component is the pattern, matched against each name with the wildcard
// rules of MatchSinglePattern ('*', '?', case ignored; "*.*" matches every name). "." and ".."
// come first, with the folder's own data (and its parent's), when they match; the other names
// follow in the order the folder holds them. A pattern without '*' or '?' is looked up directly,
// with exact letter case. Each entry: FILE_ATTRIBUTE_DIRECTORY, READONLY (owner write bit clear),
// REPARSE_POINT for a symbolic link (with DIRECTORY when it leads to a folder) and for a mount
// point (the root of a mount, a bind mount of the same file system included: folder_mount.h),
// ARCHIVE for files; last-write and last-access time from st_mtim / st_atim (the creation
// time repeats the last write); size of regular files (0 for others); cAlternateFileName empty.
// Both info levels give the same data; FIND_FIRST_EX_CASE_SENSITIVE is ignored. Inside a folder
// that an open enumeration of this thread covers, the folder is opened through that enumeration
// without following links (unless kFindFollowLinks, below, asks for it), and a folder that is a
// mount point there (one that became one after its parent listed it) is refused with 3, as a
// folder no longer there: a walk passes it over as it passes over the mount point it would have
// seen; elsewhere the path may hold more links than the 40 that one lookup of the kernel follows. Errors: 2 when nothing
// matches in an existing folder (also for a path ending in a separator), 3 when the folder is missing or a component on the way is not a folder
// (Windows gives 123 for "<file>\*"; here it is 3), 5 when the folder cannot be read, 87 for an
// unsupported info level, search operation or a search filter, others through the one mapping.
HANDLE WINAPI FindFirstFileExW(LPCWSTR fileName, FINDEX_INFO_LEVELS infoLevel, LPVOID findFileData,
                               FINDEX_SEARCH_OPS searchOp, LPVOID searchFilter, DWORD additionalFlags);
// Win32: the next matching entry; FALSE with 18 at the end (also right after a direct lookup). An
// entry removed since the folder was read is passed over. A failure while reading the folder
// returns FALSE with that error, and so does a parked folder (folder_registry.h) that must be reopened
// for the entry and cannot be; entries already read come without reopening it.
BOOL WINAPI FindNextFileW(HANDLE find, LPWIN32_FIND_DATAW findFileData);
// Win32: frees the handle (from any thread); FALSE with 6 for a null or invalid handle value.
BOOL WINAPI FindClose(HANDLE find);

namespace platform {
// Flags of FindFirstFileExW that only this layer has; platform.h defines them as 0 on Windows,
// whose enumeration always behaves as they ask.
// kFindFollowLinks: the folder is opened following a symbolic link even inside a folder that an
// open enumeration of this thread covers (Windows follows folder links in every path), and is
// reopened the same way after being parked. Without it, callers that must never be redirected
// below their starting folder stay safe.
constexpr DWORD kFindFollowLinks = 0x10000000;
// kFindLazyData: regular files whose type the folder itself records (on file systems that keep
// d_type) come without a stat: the name is exact, everything else (attributes, size, times) is 0
// until CompleteFindData fills it. Folders, links and entries of unknown type come complete (a
// folder needs its stat to tell a mount point); "." and ".." are lazy folders, and the folder's
// own stat is left out until something needs it.
constexpr DWORD kFindLazyData = 0x20000000;
// kFindLiteralName: the last path component is the name itself, '*' and '?' included (ordinary
// characters of POSIX names): it is looked up directly, as a pattern without wildcards is.
constexpr DWORD kFindLiteralName = 0x40000000;
// Fills the rest of the entry that `find` returned last into `data` with one fstatat, when the
// enumeration runs with kFindLazyData and left it incomplete; otherwise does nothing. TRUE when
// the entry is complete or nothing was left to do; an entry removed in between keeps its lazy
// data and gives TRUE too. FALSE with the error when the folder (parked, see folder_registry.h) cannot
// be reopened or the stat fails otherwise; 6 for an invalid handle, 87 for a null record.
BOOL CompleteFindData(HANDLE find, WIN32_FIND_DATAW* data);
} // namespace platform
