// sumwise's closing statistics line.
#pragma once
#include "platform/platform.h"

#include "common/number_format.h"

struct HashingTotals {
    DWORD files = 0;      // hashed successfully
    ULONGLONG bytes = 0;  // fed by the files hashed successfully
};

// The rate text: bytes per second as byte-size text, or "n/a" when no time was measured.
void FormatHashingRate(ULONGLONG bytes, double seconds, wchar_t (&rate)[kFieldChars]);

// Prints "\nHashed ... file(s) totaling ... in ...ms (...s) @ .../s (<algorithm>)\n", with the
// total also as byte-size text from 1024 bytes on.
void PrintHashingStatistics(const HashingTotals& totals, double elapsedMilliseconds, const wchar_t* displayName);
