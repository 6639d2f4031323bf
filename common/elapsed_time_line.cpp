// ItemsPerSecond and PrintElapsedTimeLine.
#include "common/elapsed_time_line.h"

#include <climits>

#include "common/number_format.h"

int ItemsPerSecond(long long items, double seconds)
{
    if (!(seconds > 0)) {
        return 0;
    }
    const double rate = static_cast<double>(items) / seconds + 0.5;
    return rate >= static_cast<double>(INT_MAX) ? INT_MAX : static_cast<int>(rate);
}

void PrintElapsedTimeLine(DWORD milliseconds, double seconds, const wchar_t* itemsPerSecond)
{
    wchar_t millisecondsText[kFieldChars];
    FormatGroupedField(millisecondsText, L"%u", static_cast<unsigned int>(milliseconds));
    printf("Elapsed time: %lsms (%.03fs) @ %ls items/sec\n", millisecondsText, seconds, itemsPerSecond);
}
