// api-orvo-time-1-0: time arithmetic shared by the product family.
#pragma once
#include "platform/export_macros.h"
#include "platform/platform.h"

// The number of 100-ns intervals from `from` to `to`; 0 when `from` is later than `to`.
extern "C" ORVO_TIME_API ULONGLONG WINAPI OrvoTimeElapsedSince(const FILETIME* from, const FILETIME* to);
