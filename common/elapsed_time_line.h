// The closing line that purgent and findle share: the elapsed time, and the rate of the items
// examined (files considered and folders visited) per second.
#pragma once
#include "platform/platform.h"

// `items` / `seconds` rounded half up, held at INT_MAX; 0 when no time was measured (`seconds`
// not above 0), so that the conversion is never undefined.
int ItemsPerSecond(long long items, double seconds);

// Prints "Elapsed time: <ms>ms (<s>s) @ <rate> items/sec": the milliseconds grouped by the user
// locale, the seconds with three decimals, the rate as the caller wrote it.
void PrintElapsedTimeLine(DWORD milliseconds, double seconds, const wchar_t* itemsPerSecond);
