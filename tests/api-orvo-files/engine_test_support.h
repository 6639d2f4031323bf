// Calling the engine on temporary trees.
#pragma once

#include <filesystem>
#include <string>

#include "api-orvo-files/orvo_files.h"
#include "support/test_support.h"

namespace engine_test {

inline constexpr ULONGLONG kOneDay = 864'000'000'000ULL;
// Every switch that deletes or removes something, and both ignore switches (purgent's -z).
inline constexpr DWORD kEverything = CLEANUP_RECURSE | CLEANUP_DELETE_READONLY | CLEANUP_REMOVE_EMPTY_SUBFOLDERS |
                                     CLEANUP_REMOVE_ROOT | CLEANUP_IGNORE_FILE_ERRORS | CLEANUP_IGNORE_FOLDER_ERRORS;

struct CallResult {
    HRESULT hr = S_OK;
    CleanupStatistics stats{};
};

inline CallResult Clean(const std::filesystem::path& root, const wchar_t* patterns, ULONGLONG minimumAge, DWORD flags,
                        DWORD maximumDurationMs = CLEANUP_NO_TIME_LIMIT)
{
    CallResult result;
    // Sentinels show which fields the engine wrote back.
    result.stats.FilesConsidered = 0xDEADBEEF;
    const std::wstring path = root.wstring();
    result.hr = OrvoFilesCleanup(path.c_str(), patterns, minimumAge, flags, maximumDurationMs, &result.stats);
    return result;
}

inline bool AllZero(const CleanupStatistics& stats)
{
    return stats.FilesRemovedSizeBytes == 0 && stats.FilesConsidered == 0 && stats.FilesRemoved == 0 &&
           stats.FoldersVisited == 0 && stats.FoldersRemoved == 0 && stats.ElapsedTimeMs == 0;
}

} // namespace engine_test
