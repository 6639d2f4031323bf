// api-orvo-time-1-0: time arithmetic shared by the product family.
#pragma once
#include "platform/platform.h"

#if defined(_WIN32)
#define ORVO_TIME_API __declspec(dllimport)
#if defined(ORVO_TIME_BUILD)
#undef ORVO_TIME_API
#define ORVO_TIME_API __declspec(dllexport)
#endif
#else
#define ORVO_TIME_API __attribute__((visibility("default")))
#endif

// The number of 100-ns intervals from `from` to `to`; 0 when `from` is later than `to`.
extern "C" ORVO_TIME_API ULONGLONG WINAPI OrvoTimeElapsedSince(const FILETIME* from, const FILETIME* to);
