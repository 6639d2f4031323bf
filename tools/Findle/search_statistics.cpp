// ComputeElapsed and PrintSearchStatistics.
#include "tools/Findle/search_statistics.h"

#include <climits>

#include "common/elapsed_time_line.h"
#include "common/number_format.h"

ElapsedFigures ComputeElapsed(ULONGLONG counterTicks, double frequency, const SearchResults& results)
{
    ElapsedFigures figures;
    figures.seconds = static_cast<double>(counterTicks) / frequency;
    const double milliseconds = figures.seconds * 1000.0 + 0.5;
    figures.milliseconds = milliseconds >= static_cast<double>(UINT_MAX) ? UINT_MAX : static_cast<DWORD>(milliseconds);
    const long long items = static_cast<long long>(results.filesConsidered) + results.foldersVisited;
    figures.itemsPerSecond = ItemsPerSecond(items, figures.seconds);
    return figures;
}

void PrintSearchStatistics(const SearchResults& results, const ElapsedFigures& elapsed)
{
    wchar_t itemsPerSecond[kFieldChars];
    wchar_t considered[kFieldChars];
    wchar_t matched[kFieldChars];
    wchar_t visited[kFieldChars];
    wchar_t sizeText[kFieldChars] = {};
    wchar_t bytes[kFieldChars];
    FormatGroupedField(itemsPerSecond, L"%d", static_cast<int>(elapsed.itemsPerSecond));
    FormatGroupedField(considered, L"%d", static_cast<int>(results.filesConsidered));
    FormatGroupedField(matched, L"%d", static_cast<int>(results.filesMatched));
    FormatGroupedField(visited, L"%d", static_cast<int>(results.foldersVisited));
    StrFormatByteSizeW(results.matchedBytes, sizeText, static_cast<UINT>(kFieldChars));
    FormatGroupedField(bytes, L"%lld", static_cast<long long>(results.matchedBytes));

    if (results.filesMatched > 0) {
        printf("\n");
    }
    printf("Matched %ls file(s) out of %ls considered in %ls subfolder(s)\n", matched, considered, visited);
    if (results.filesMatched > 0) {
        if (results.matchedBytes >= 1024) {
            printf("Matching file(s) size: %ls (%ls bytes)\n", sizeText, bytes);
        } else {
            printf("Matching file(s) size: %ls bytes\n", bytes);
        }
    }
    PrintElapsedTimeLine(elapsed.milliseconds, elapsed.seconds, itemsPerSecond);
}
