// The closing figures of a search: the elapsed-time computations and the statistics block.
#pragma once
#include "tools/Findle/directory_search.h"

struct ElapsedFigures {
    double seconds = 0;
    DWORD milliseconds = 0; // seconds x 1000 + 0.5, truncated
    LONG itemsPerSecond = 0; // (files considered + folders visited) / seconds + 0.5, truncated
};

// From two performance-counter readings' difference and the counter's frequency. A rate that
// cannot be computed (no measurable time) or exceeds the 32-bit range is held at 0 or at the
// largest value, never left to an undefined conversion.
ElapsedFigures ComputeElapsed(ULONGLONG counterTicks, double frequency, const SearchResults& results);

// Prints the statistics block: the empty line and the size line only when something matched.
void PrintSearchStatistics(const SearchResults& results, const ElapsedFigures& elapsed);
