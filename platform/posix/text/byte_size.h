// Abbreviated byte sizes. Provides StrFormatByteSizeW, with the user locale's decimal separator.
#pragma once
#include "platform/posix/system/win32_types.h"

#include <string>
#include <string_view>

namespace platform {
// The abbreviated text of a byte count, as Win32 writes it:
// - below 1024 (negative counts included): the plain decimal value and " bytes" ("1 bytes",
//   "-1024 bytes"); the LONGLONG minimum gives "0 bytes";
// - otherwise the smallest unit of KB, MB, GB, TB, PB, EB (1024^1 .. 1024^6) in which the value is
//   below 1000, shown with three significant digits (two decimals below 10, one below 100, none
//   from 100) and the further digits truncated, never rounded: 1340 -> "1.30 KB", 1047552 ->
//   "0.99 MB". In the TB, PB and EB ranges the count is first truncated to whole KB, which shows
//   only within 1 KB above a display boundary (10984121161483 -> "9.98 TB").
// `decimalSeparator` stands between the integer and the decimals.
std::wstring ByteSizeText(LONGLONG size, std::wstring_view decimalSeparator);
} // namespace platform

// Win32: ByteSizeText with the user locale's decimal separator, written into `buffer`. Text that
// does not fit is cut to cchBuffer - 1 characters. Returns `buffer`, or null when not even the
// number part fits (it is still written as far as it goes); cchBuffer 0 leaves the buffer
// untouched and returns it; a null buffer returns null.
PWSTR WINAPI StrFormatByteSizeW(LONGLONG size, PWSTR buffer, UINT cchBuffer);
