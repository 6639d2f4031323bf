// RunCleanup and the statistics block, in the words of a run or of a dry run.
#include "tools/Purgent/cleanup_run.h"

#include "common/buffer_format.h"
#include "common/elapsed_time_line.h"
#include "common/number_format.h"
#include "tools/Purgent/dry_run.h"
#include "tools/Purgent/purgent_telemetry.h"

void PrintCleanupStatistics(const CleanupStatistics& statistics, bool dryRun)
{
    wchar_t sizeText[kFieldChars] = {};
    wchar_t bytes[kFieldChars];
    wchar_t considered[kFieldChars];
    wchar_t removed[kFieldChars];
    wchar_t visited[kFieldChars];
    wchar_t foldersRemoved[kFieldChars];
    wchar_t itemsPerSecond[kFieldChars];

    const ULONGLONG freed = statistics.FilesRemovedSizeBytes;
    StrFormatByteSizeW(static_cast<LONGLONG>(freed), sizeText, static_cast<UINT>(kFieldChars));
    FormatGroupedField(bytes, L"%llu", freed);
    FormatGroupedField(considered, L"%u", statistics.FilesConsidered);
    FormatGroupedField(removed, L"%u", statistics.FilesRemoved);
    FormatGroupedField(visited, L"%u", statistics.FoldersVisited);
    FormatGroupedField(foldersRemoved, L"%u", statistics.FoldersRemoved);
    const double seconds = statistics.ElapsedTimeMs / 1000.0;
    if (statistics.ElapsedTimeMs == 0) {
        // Under a millisecond there is no meaningful rate to show.
        CopyToBuffer(itemsPerSecond, kFieldChars, L"n/a");
    } else {
        const long long items = static_cast<long long>(statistics.FoldersVisited) + statistics.FilesConsidered;
        FormatGroupedField(itemsPerSecond, L"%d", ItemsPerSecond(items, seconds));
    }

    // A dry run words each line as what it would do.
    printf(dryRun ? "Would remove %ls file(s) out of %ls considered in %ls subfolder(s)\n"
                  : "Removed %ls file(s) out of %ls considered in %ls subfolder(s)\n",
           removed, considered, visited);
    const bool folders = statistics.FoldersRemoved != 0;
    if (freed >= 1024 && folders) {
        printf(dryRun ? "Would free %ls (%ls bytes) and remove %ls subfolder(s)\n"
                      : "Freed %ls (%ls bytes) and removed %ls subfolder(s)\n",
               sizeText, bytes, foldersRemoved);
    } else if (freed >= 1024) {
        printf(dryRun ? "Would free %ls (%ls bytes)\n" : "Freed %ls (%ls bytes)\n", sizeText, bytes);
    } else if (freed > 0 && folders) {
        printf(dryRun ? "Would free %ls byte(s) and remove %ls subfolder(s)\n"
                      : "Freed %ls byte(s) and removed %ls subfolder(s)\n",
               bytes, foldersRemoved);
    } else if (freed > 0) {
        printf(dryRun ? "Would free %ls byte(s)\n" : "Freed %ls byte(s)\n", bytes);
    } else if (folders) {
        printf(dryRun ? "Would remove %ls subfolder(s)\n" : "Removed %ls subfolder(s)\n", foldersRemoved);
    }
    PrintElapsedTimeLine(statistics.ElapsedTimeMs, seconds, itemsPerSecond);
}

int RunCleanup(const CleanupRequest& request)
{
    if (!request.quiet) {
        // "\n\r" is no typo: the ending these lines have on Windows; the Linux console writes "\n".
        printf(request.dryRun ? "Dry run of %ls: nothing is removed\n\r" : "Cleaning %ls\n\r", request.rootPath);
    }
    CleanupStatistics statistics{};
    HRESULT hr = S_OK;
    if (request.dryRun) {
        // Nothing is removed, so there is no cleanup for the telemetry to report.
        hr = DryRunCleanup(request.rootPath, request.fileSpecs, request.minimumAge, request.flags,
                           request.maximumDurationMs, &statistics);
    } else {
        // Stopped with the call's result before the report is printed.
        PurgentTelemetryProvider::OrvoFilesCleanup activity;
        activity.Start();
        hr = OrvoFilesCleanup(request.rootPath, request.fileSpecs, request.minimumAge, request.flags,
                              request.maximumDurationMs, &statistics);
        PurgentTelemetryProvider::FileCleanupStats(statistics);
        activity.Stop(hr);
    }
    if (FAILED(hr)) {
        // The same deliberate "\n\r" ending as the announcement above.
        printf("**** Error 0x%08lx\n\r", static_cast<unsigned long>(static_cast<DWORD>(hr)));
    }
    if (!request.quiet) {
        PrintCleanupStatistics(statistics, request.dryRun);
    }
    return FAILED(hr) ? -1 : 0;
}
