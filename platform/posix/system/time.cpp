// Provides GetSystemTimeAsFileTime, QueryPerformanceCounter, QueryPerformanceFrequency, Sleep and
// GetTickCount64 over clock_gettime (CLOCK_REALTIME, CLOCK_MONOTONIC, CLOCK_BOOTTIME), nanosleep and sched_yield.
#include "platform/posix/system/time.h"

#include <cerrno>
#include <ctime>
#include <sched.h>

namespace {
constexpr ULONGLONG kNanosecondsPerSecond = 1000000000;
constexpr ULONGLONG kFileTimeUnitsPerSecond = 10000000; // 100-ns units
constexpr ULONGLONG kSecondsFrom1601To1970 = 11644473600;

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

void WINAPI GetSystemTimeAsFileTime(LPFILETIME time)
{
    const timespec now = Now(CLOCK_REALTIME);
    const ULONGLONG units = (static_cast<ULONGLONG>(now.tv_sec) + kSecondsFrom1601To1970) * kFileTimeUnitsPerSecond +
                            static_cast<ULONGLONG>(now.tv_nsec) / 100;
    time->dwLowDateTime = static_cast<DWORD>(units);
    time->dwHighDateTime = static_cast<DWORD>(units >> 32);
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

// Milliseconds since the system started, suspended time included (CLOCK_BOOTTIME), as on Win32.
ULONGLONG WINAPI GetTickCount64()
{
    return Nanoseconds(Now(CLOCK_BOOTTIME)) / 1000000;
}
