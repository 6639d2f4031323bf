// The closing line that purgent and findle share: the elapsed time, and the rate of the items
// examined (files considered and folders visited) per second; and the stopwatch that findle and
// sumwise time their runs with.
#pragma once
#include "platform/platform.h"

// The performance counter, read when the stopwatch is made and whenever the time since is asked.
class Stopwatch {
public:
    Stopwatch()
    {
        QueryPerformanceFrequency(&frequency_);
        QueryPerformanceCounter(&start_);
    }
    // The counter's ticks since the stopwatch was made, and the ticks in a second.
    ULONGLONG ElapsedTicks() const
    {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        return static_cast<ULONGLONG>(now.QuadPart - start_.QuadPart);
    }
    double frequency() const { return static_cast<double>(frequency_.QuadPart); }

private:
    LARGE_INTEGER frequency_;
    LARGE_INTEGER start_;
};

// `items` / `seconds` rounded half up, held at INT_MAX; 0 when no time was measured (`seconds`
// not above 0), so that the conversion is never undefined.
int ItemsPerSecond(long long items, double seconds);

// Prints "Elapsed time: <ms>ms (<s>s) @ <rate> items/sec": the milliseconds grouped by the user
// locale, the seconds with three decimals, the rate as the caller wrote it.
void PrintElapsedTimeLine(DWORD milliseconds, double seconds, const wchar_t* itemsPerSecond);
