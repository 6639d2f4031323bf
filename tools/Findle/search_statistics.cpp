// ComputeElapsed and PrintSearchStatistics.
#include "tools/Findle/search_statistics.h"

#include <climits>

#include "common/buffer_format.h"
#include "common/number_format.h"

namespace {

// Plain digits first, then grouped by the user locale into the field's own buffer.
void FormatField(wchar_t (&field)[kFieldChars], const wchar_t* format, auto value)
{
    wchar_t digits[kFieldChars];
    FormatToBuffer(digits, kFieldChars, format, value);
    FormatGroupedNumber(field, static_cast<int>(kFieldChars), digits);
}

} // namespace

ElapsedFigures ComputeElapsed(ULONGLONG counterTicks, double frequency, const SearchResults& results)
{
    ElapsedFigures figures;
    figures.seconds = static_cast<double>(counterTicks) / frequency;
    const double milliseconds = figures.seconds * 1000.0 + 0.5;
    figures.milliseconds = milliseconds >= static_cast<double>(UINT_MAX) ? UINT_MAX : static_cast<DWORD>(milliseconds);
    if (figures.seconds > 0) {
        const long long items = static_cast<long long>(results.filesConsidered) + results.foldersVisited;
        const double rate = static_cast<double>(items) / figures.seconds + 0.5;
        figures.itemsPerSecond = rate >= static_cast<double>(INT_MAX) ? INT_MAX : static_cast<LONG>(rate);
    }
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
    wchar_t milliseconds[kFieldChars];
    FormatField(itemsPerSecond, L"%d", static_cast<int>(elapsed.itemsPerSecond));
    FormatField(considered, L"%d", static_cast<int>(results.filesConsidered));
    FormatField(matched, L"%d", static_cast<int>(results.filesMatched));
    FormatField(visited, L"%d", static_cast<int>(results.foldersVisited));
    StrFormatByteSizeW(results.matchedBytes, sizeText, static_cast<UINT>(kFieldChars));
    FormatField(bytes, L"%lld", static_cast<long long>(results.matchedBytes));
    FormatField(milliseconds, L"%u", static_cast<unsigned int>(elapsed.milliseconds));

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
    printf("Elapsed time: %lsms (%.03fs) @ %ls items/sec\n", milliseconds, elapsed.seconds, itemsPerSecond);
}
