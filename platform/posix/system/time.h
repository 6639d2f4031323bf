// Clocks. Provides GetSystemTimeAsFileTime (CLOCK_REALTIME), QueryPerformanceCounter,
// QueryPerformanceFrequency (CLOCK_MONOTONIC, in nanoseconds) and Sleep.
#pragma once
#include "platform/posix/system/win32_types.h"

#include <ctime>

namespace platform {
// A POSIX time as 100-ns intervals since 1601-01-01 (times before 1601 become 0).
FILETIME FileTimeFrom(const timespec& time);
} // namespace platform

// Win32: the current UTC time in 100-ns intervals since 1601-01-01.
void WINAPI GetSystemTimeAsFileTime(LPFILETIME time);
// Win32: a monotonic counter and its fixed frequency (ticks per second); both always succeed.
// Here the ticks are nanoseconds, so the frequency is 1,000,000,000.
BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* count);
BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* frequency);
// Win32: gives up the time slice for 0, else sleeps for the milliseconds (the whole time, even
// when a signal arrives).
void WINAPI Sleep(DWORD milliseconds);
