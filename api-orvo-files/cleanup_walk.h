// The engine's tree walk: deletes the files of one folder tree that pass the age and name tests
// and removes the folders the flags allow.
#pragma once
#include "api-orvo-files/orvo_files.h"
#include "platform/platform.h"

// Walks the folder whose path (ending in the separator) stands in `workPath` up to `end`.
// Every level writes only behind its own folder's separator; `findData` is shared by all
// levels. Returns S_OK, 0x80070102 when the budget runs out, or the first failure the flags do
// not tell it to ignore; `statistics` tells what was done up to then.
HRESULT CleanupFolder(PCWSTR fileSpecs, ULONGLONG minimumAge, PWSTR workPath, size_t workPathChars, PWSTR end,
                      const FILETIME* startTime, WIN32_FIND_DATAW* findData, DWORD flags,
                      DWORD maximumDurationMs, CleanupStatistics* statistics, DWORD depth);
