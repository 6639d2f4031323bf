// The engine's tree walk: deletes the files of one folder tree that pass the age and name tests
// and removes the folders the flags allow.
#pragma once
#include "api-orvo-files/orvo_files.h"
#include "platform/platform.h"

// Everything one walk reads, set once by the call it belongs to.
struct CleanupParameters {
    PCWSTR fileSpecs = nullptr;          // the caller's patterns; tested when CLEANUP_HAS_FILESPECS is set
    ULONGLONG minimumAge = 0;            // 100-ns intervals before the start time; 0: no age test
    DWORD flags = 0;                     // the caller's CLEANUP_ bits and the engine's own two
    DWORD maximumDurationMs = CLEANUP_NO_TIME_LIMIT;
    const FILETIME* startTime = nullptr; // the call's start: ages and the time budget count from it
    PWSTR workPath = nullptr;            // the root's path, ending in the separator, in a buffer of
    size_t workPathChars = 0;            //   workPathChars characters that the walk writes behind it
    PWSTR rootEnd = nullptr;             // just behind the root's separator in workPath
    CleanupStatistics* statistics = nullptr;
};

// Walks the root folder of `parameters`. Every level writes only behind its own folder's
// separator in the work path; one find record serves every level. Returns S_OK, 0x80070102 when
// the budget runs out, or the first failure the flags do not tell it to ignore; the statistics
// tell what was done up to then.
HRESULT CleanupFolder(const CleanupParameters& parameters);
