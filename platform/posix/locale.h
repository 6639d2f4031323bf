// User locale for number grouping. Provides GetLocaleInfoW (LOCALE_SGROUPING, LOCALE_STHOUSAND,
// LOCALE_SDECIMAL) from LC_ALL / LC_NUMERIC / LANG via localeconv of that locale, and
// GetNumberFormatEx with an explicit NUMBERFMTW.
#pragma once
#include "win32_types.h"

// Win32: the user default locale's value as text ("3;0" style grouping, one-character
// separators). The C/POSIX locale and an unknown locale behave as the invariant locale:
// grouping "3;0", thousands ",", decimal ".". cchData 0 returns the size needed (with the
// terminator); a smaller buffer returns 0 with 122.
int WINAPI GetLocaleInfoW(LCID locale, LCTYPE type, LPWSTR data, int cchData);
// Win32: formats the digit text (ASCII digits, one '.', a leading '-') with the NUMBERFMTW
// settings; returns the characters written including the terminator, or 0 with 87 (bad input)
// or 122 (buffer too small; the buffer then holds the cut text). "0" with LeadingZero 0 gives "0".
int WINAPI GetNumberFormatEx(LPCWSTR localeName, DWORD flags, LPCWSTR value, const NUMBERFMTW* format,
                             LPWSTR numberText, int cchNumber);
// Win32: StrFormatByteSizeW. Below 1024 "<n> bytes"; else three significant digits of KB..EB,
// truncated, with the user locale's decimal separator. Returns the buffer, or null when not
// even the number fits.
PWSTR WINAPI StrFormatByteSizeW(LONGLONG size, PWSTR buffer, UINT cchBuffer);
