// Macros that report a failure where it arises and at each level that passes it on. Each
// evaluates its argument once and captures the file, line, function and expression text.
//
//                  HRESULT                  BOOL + last error                 null pointer            condition
//   return         RETURN_IF_FAILED         RETURN_IF_WIN32_BOOL_FALSE        RETURN_IF_NULL_ALLOC    RETURN_HR_IF
//   log            LOG_IF_FAILED            LOG_IF_WIN32_BOOL_FALSE           -                       LOG_HR_IF
//   fail fast      FAIL_FAST_IF_FAILED      -                                 -                       FAIL_FAST_HR_IF
//
// RETURN_HR / RETURN_HR_MSG return a known failure; LOG_HR logs one; *_MSG forms add a message
// with a wide printf format.
#pragma once
#include "common/failure.h"

#ifndef ORVO_MODULE_NAME
#define ORVO_MODULE_NAME "orvo"
#endif

#define ORVO_FAILURE_SITE __FILE__, __LINE__, ORVO_MODULE_NAME, __func__

#define ORVO_REPORT_HR(kind, hr, code)                                                                        \
    ::failure::ReportHr((kind), (hr), ORVO_FAILURE_SITE, (code), __builtin_return_address(0))

#define RETURN_HR(hr)                                                                                         \
    do {                                                                                                      \
        const HRESULT orvo_hr_ = (hr);                                                                        \
        return FAILED(orvo_hr_) ? ORVO_REPORT_HR(::failure::FailureKind::ReturnHr, orvo_hr_, nullptr) : orvo_hr_; \
    } while (0)

#define RETURN_HR_MSG(hr, ...)                                                                                \
    do {                                                                                                      \
        const HRESULT orvo_hr_ = (hr);                                                                        \
        if (FAILED(orvo_hr_)) {                                                                               \
            return ::failure::ReportHrMsg(::failure::FailureKind::ReturnHr, orvo_hr_, ORVO_FAILURE_SITE,      \
                                          nullptr, __builtin_return_address(0), __VA_ARGS__);                 \
        }                                                                                                     \
        return orvo_hr_;                                                                                      \
    } while (0)

#define RETURN_IF_FAILED(expr)                                                                                \
    do {                                                                                                      \
        const HRESULT orvo_hr_ = (expr);                                                                      \
        if (FAILED(orvo_hr_)) {                                                                               \
            return ORVO_REPORT_HR(::failure::FailureKind::ReturnHr, orvo_hr_, #expr);                         \
        }                                                                                                     \
    } while (0)

#define RETURN_IF_FAILED_MSG(expr, ...)                                                                       \
    do {                                                                                                      \
        const HRESULT orvo_hr_ = (expr);                                                                      \
        if (FAILED(orvo_hr_)) {                                                                               \
            return ::failure::ReportHrMsg(::failure::FailureKind::ReturnHr, orvo_hr_, ORVO_FAILURE_SITE,      \
                                          #expr, __builtin_return_address(0), __VA_ARGS__);                   \
        }                                                                                                     \
    } while (0)

#define RETURN_HR_IF(hr, condition)                                                                           \
    do {                                                                                                      \
        if (condition) {                                                                                      \
            return ORVO_REPORT_HR(::failure::FailureKind::ReturnHr, (hr), #condition);                        \
        }                                                                                                     \
    } while (0)

#define RETURN_IF_WIN32_BOOL_FALSE(expr)                                                                      \
    do {                                                                                                      \
        if (!(expr)) {                                                                                        \
            return ORVO_REPORT_HR(::failure::FailureKind::ReturnHr, ::failure::HResultFromLastError(), #expr); \
        }                                                                                                     \
    } while (0)

#define RETURN_IF_NULL_ALLOC(ptr)                                                                             \
    do {                                                                                                      \
        if ((ptr) == nullptr) {                                                                               \
            return ORVO_REPORT_HR(::failure::FailureKind::ReturnHr, E_OUTOFMEMORY, #ptr);                     \
        }                                                                                                     \
    } while (0)

#define LOG_HR(hr) ORVO_REPORT_HR(::failure::FailureKind::LogHr, (hr), nullptr)

#define LOG_IF_FAILED(expr) ::failure::LogIfFailed((expr), ORVO_FAILURE_SITE, #expr, __builtin_return_address(0))

#define LOG_HR_IF(hr, condition)                                                                              \
    do {                                                                                                      \
        if (condition) {                                                                                      \
            ORVO_REPORT_HR(::failure::FailureKind::LogHr, (hr), #condition);                                  \
        }                                                                                                     \
    } while (0)

#define LOG_IF_WIN32_BOOL_FALSE(expr)                                                                         \
    ::failure::LogIfWin32BoolFalse((expr), ORVO_FAILURE_SITE, #expr, __builtin_return_address(0))

#define FAIL_FAST_IF_FAILED(expr)                                                                             \
    do {                                                                                                      \
        const HRESULT orvo_hr_ = (expr);                                                                      \
        if (FAILED(orvo_hr_)) {                                                                               \
            ::failure::FailFast(orvo_hr_, ORVO_FAILURE_SITE, #expr, __builtin_return_address(0));             \
        }                                                                                                     \
    } while (0)

#define FAIL_FAST_HR_IF(hr, condition)                                                                        \
    do {                                                                                                      \
        if (condition) {                                                                                      \
            ::failure::FailFast((hr), ORVO_FAILURE_SITE, #condition, __builtin_return_address(0));            \
        }                                                                                                     \
    } while (0)
