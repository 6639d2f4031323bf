// OrvoTimeElapsedSince: the difference of two FILETIMEs, clamped at 0 so that a time that lies
// in the future (a file written after the call began, a clock set back) never looks old.
#include "api-orvo-time/orvo_time.h"

namespace {
ULONGLONG ToTicks(const FILETIME* time)
{
    return (static_cast<ULONGLONG>(time->dwHighDateTime) << 32) | time->dwLowDateTime;
}
} // namespace

extern "C" ULONGLONG WINAPI OrvoTimeElapsedSince(const FILETIME* from, const FILETIME* to)
{
    const ULONGLONG start = ToTicks(from);
    const ULONGLONG end = ToTicks(to);
    return end > start ? end - start : 0;
}
