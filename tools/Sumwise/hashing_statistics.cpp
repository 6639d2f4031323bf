// FormatHashingRate and PrintHashingStatistics.
#include "tools/Sumwise/hashing_statistics.h"

#include <climits>
#include <cmath>

void FormatHashingRate(ULONGLONG bytes, double seconds, wchar_t (&rate)[kFieldChars])
{
    // Below the clock's resolution a rate means nothing, and the division would overflow.
    if (!(seconds > 0)) {
        FormatToBuffer(rate, kFieldChars, L"n/a");
        return;
    }
    const double perSecond = std::trunc(static_cast<double>(bytes) / seconds);
    const LONGLONG value = perSecond >= static_cast<double>(LLONG_MAX) ? LLONG_MAX : static_cast<LONGLONG>(perSecond);
    StrFormatByteSizeW(value, rate, static_cast<UINT>(kFieldChars));
}

void PrintHashingStatistics(const HashingTotals& totals, double elapsedMilliseconds, const wchar_t* displayName)
{
    const double seconds = elapsedMilliseconds / 1000.0;
    const double roundedMilliseconds = elapsedMilliseconds + 0.5;
    const auto milliseconds = roundedMilliseconds >= static_cast<double>(UINT_MAX)
                                  ? UINT_MAX
                                  : static_cast<unsigned int>(roundedMilliseconds);
    wchar_t rate[kFieldChars];
    wchar_t count[kFieldChars];
    wchar_t total[kFieldChars];
    wchar_t millisecondsText[kFieldChars];
    FormatHashingRate(totals.bytes, seconds, rate);
    FormatGroupedField(count, L"%u", static_cast<unsigned int>(totals.files));
    FormatGroupedField(total, L"%llu", static_cast<unsigned long long>(totals.bytes));
    FormatGroupedField(millisecondsText, L"%u", milliseconds);
    if (totals.bytes < 1024) {
        wprintf(L"\nHashed %ls file(s) totaling %ls byte(s) in %lsms (%.3fs) @ %ls/s (%ls)\n", count, total,
                millisecondsText, seconds, rate, displayName);
        return;
    }
    wchar_t sizeText[kFieldChars] = {};
    StrFormatByteSizeW(static_cast<LONGLONG>(totals.bytes), sizeText, static_cast<UINT>(kFieldChars));
    wprintf(L"\nHashed %ls file(s) totaling %ls (%ls bytes) in %lsms (%.3fs) @ %ls/s (%ls)\n", count, sizeText, total,
            millisecondsText, seconds, rate, displayName);
}
