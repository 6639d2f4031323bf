// One cleanup call, whatever becomes of what it selects: the library's export runs it with
// DeleteActions, a dry run with actions that only list.
#pragma once
#include "api-orvo-files/cleanup_walk.h"
#include "api-orvo-files/orvo_files.h"

// Validates the request as OrvoFilesCleanup documents, canonicalizes the root into a work path
// allocated from `heap`, walks it with `actions`, and hands the statistics back on every way out.
HRESULT RunCleanupCall(PCWSTR Path, PCWSTR FileSpecs, ULONGLONG MinimumAge, DWORD Flags, DWORD MaximumDurationMs,
                       CleanupStatistics* Statistics, HANDLE heap, CleanupActions& actions);
