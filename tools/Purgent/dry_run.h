// purgent -l: the engine's own call and walk, with actions that list what would be removed and
// remove nothing.
#pragma once
#include "api-orvo-files/orvo_files.h"
#include "platform/platform.h"

// Runs the cleanup that OrvoFilesCleanup would run for these arguments, printing one line per file
// and folder it would remove (a folder after what it holds), and fills `statistics` with what it
// would have done. Refuses what OrvoFilesCleanup refuses, with the same result.
HRESULT DryRunCleanup(PCWSTR path, PCWSTR fileSpecs, ULONGLONG minimumAge, DWORD flags, DWORD maximumDurationMs,
                      CleanupStatistics* statistics);
