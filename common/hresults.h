// HRESULT values used across the tools, spelled once (the platform's macros are not constant
// expressions everywhere).
#pragma once
#include "platform/platform.h"

inline constexpr HRESULT kHrInsufficientBuffer = static_cast<HRESULT>(0x8007007A); // Win32 error 122
inline constexpr HRESULT kHrTimeout = static_cast<HRESULT>(0x80070102);            // Win32 WAIT_TIMEOUT, 258
inline constexpr HRESULT kHrPathNotFound = static_cast<HRESULT>(0x80070003);       // Win32 error 3
inline constexpr HRESULT kHrAssertionFailure = static_cast<HRESULT>(0x8007029C);   // Win32 error 668
inline constexpr HRESULT kHrUnhandledException = static_cast<HRESULT>(0x8007023E); // Win32 error 574
inline constexpr HRESULT kHrFileInvalid = static_cast<HRESULT>(0x800703EE);        // Win32 error 1006
