// api-orvo-files-1-0: the cleanup engine's public interface. It needs the Win32 base types and
// the export macros only, so that it is installed with just them for outside callers.
#pragma once
#include "platform/base_types.h"
#include "platform/export_macros.h"

// What one call did. Counters wrap on overflow; the record is zeroed at entry and handed back
// on every way out once the work buffer was requested.
struct CleanupStatistics {
    ULONGLONG FilesRemovedSizeBytes; // sum of the sizes of the files deleted
    DWORD FilesConsidered;           // file entries examined
    DWORD FilesRemoved;              // files deleted
    DWORD FoldersVisited;            // folders whose enumeration was opened, root included
    DWORD FoldersRemoved;            // folders removed, root included
    DWORD ElapsedTimeMs;             // from the call's start time to the hand-back
};

constexpr DWORD CLEANUP_RECURSE = 0x1;
constexpr DWORD CLEANUP_DELETE_READONLY = 0x2;
constexpr DWORD CLEANUP_REMOVE_EMPTY_SUBFOLDERS = 0x4;
constexpr DWORD CLEANUP_REMOVE_EMPTIED_SUBFOLDERS = 0x8;
constexpr DWORD CLEANUP_REMOVE_ROOT = 0x10;
constexpr DWORD CLEANUP_AGE_FOLDERS = 0x20;
constexpr DWORD CLEANUP_IGNORE_FILE_ERRORS = 0x100;
constexpr DWORD CLEANUP_IGNORE_FOLDER_ERRORS = 0x200;
constexpr DWORD CLEANUP_VALID_FLAGS = 0x33F;
// Set by the engine on its private copy of the flag word; a caller passing them is refused.
constexpr DWORD CLEANUP_HAS_FILESPECS = 0x80000000;
constexpr DWORD CLEANUP_MULTIPLE_FILESPECS = 0x40000000;

constexpr DWORD CLEANUP_NO_TIME_LIMIT = 0xFFFFFFFF;

// Deletes what the request selects below `Path` and fills `Statistics` (may be null).
// `FileSpecs`: null or empty for every file, else "*.log" or "*.dmp;*.log".
// `MinimumAge`: 100-ns intervals between a file's last write and the call's start; 0 for no test.
// `MaximumDurationMs`: time budget, CLEANUP_NO_TIME_LIMIT for none, 0 times out at once.
extern "C" ORVO_FILES_API HRESULT WINAPI OrvoFilesCleanup(PCWSTR Path, PCWSTR FileSpecs, ULONGLONG MinimumAge,
                                                         DWORD Flags, DWORD MaximumDurationMs,
                                                         CleanupStatistics* Statistics);
