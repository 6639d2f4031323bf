// Provides GetSystemTimeAsFileTime, QueryPerformanceCounter, QueryPerformanceFrequency and Sleep over
// clock_gettime (CLOCK_REALTIME, CLOCK_MONOTONIC), nanosleep and sched_yield, and the FILETIME of a POSIX time.
#include "platform/posix/system/time.h"

#include <cerrno>
#include <ctime>
#include <sched.h>

namespace {
constexpr ULONGLONG kNanosecondsPerSecond = 1000000000;

timespec Now(clockid_t clock)
{
    timespec now {};
    clock_gettime(clock, &now);
    return now;
}

ULONGLONG Nanoseconds(const timespec& time)
{
    return static_cast<ULONGLONG>(time.tv_sec) * kNanosecondsPerSecond + static_cast<ULONGLONG>(time.tv_nsec);
}
} // namespace

FILETIME platform::FileTimeFrom(const timespec& time)
{
    constexpr long long kSecondsFrom1601To1970 = 11644473600LL;
    const long long ticks = (time.tv_sec + kSecondsFrom1601To1970) * 10000000LL + time.tv_nsec / 100;
    const auto value = static_cast<unsigned long long>(ticks < 0 ? 0 : ticks);
    return FILETIME {static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}

void WINAPI GetSystemTimeAsFileTime(LPFILETIME time)
{
    *time = platform::FileTimeFrom(Now(CLOCK_REALTIME));
}

// The counter is CLOCK_MONOTONIC in nanoseconds, so its frequency is 1e9 ticks per second.
BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* count)
{
    count->QuadPart = static_cast<LONGLONG>(Nanoseconds(Now(CLOCK_MONOTONIC)));
    return TRUE;
}

BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* frequency)
{
    frequency->QuadPart = static_cast<LONGLONG>(kNanosecondsPerSecond);
    return TRUE;
}

void WINAPI Sleep(DWORD milliseconds)
{
    if (milliseconds == 0) {
        sched_yield();
        return;
    }
    timespec remaining {static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000};
    // A signal handler cuts nanosleep short; Win32 sleeps the whole time.
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}
