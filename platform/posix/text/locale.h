// User locale for number grouping. Provides GetLocaleInfoW (LOCALE_SGROUPING, LOCALE_STHOUSAND,
// LOCALE_SDECIMAL) for the user locale named by LC_ALL / LC_NUMERIC / LANG, and GetNumberFormatEx
// with an explicit NUMBERFMTW.
#pragma once
#include "platform/posix/system/win32_types.h"

#include <string>

namespace platform {
// A locale's number conventions as Win32 reports them: grouping text ("3;0"), thousands and
// decimal separators.
struct NumericConventions {
    std::wstring grouping;
    std::wstring thousands;
    std::wstring decimal;
};

// The conventions of the named POSIX locale, read with newlocale / nl_langinfo_l. "C", "POSIX",
// "C.<codeset>", the empty name and a locale that is not installed give the invariant locale's
// conventions: grouping "3;0", thousands ",", decimal ".".
NumericConventions NumericConventionsOf(const char* localeName);
// The user locale's conventions: the locale named by the first non-empty of LC_ALL, LC_NUMERIC
// and LANG, read afresh on every call.
NumericConventions UserNumericConventions();
// A POSIX grouping byte string as Win32 grouping text. Each byte is a group size from the
// decimal point leftwards; the last size repeats (Win32 writes that as a final ";0") unless a
// CHAR_MAX byte stops the grouping. "\3" -> "3;0", "\3\2" -> "3;2;0", "\3\x7f" -> "3",
// "" (no grouping) -> "0".
std::wstring GroupingTextFromBytes(const char* grouping);
} // namespace platform

// Win32: the user default locale's value of LOCALE_SGROUPING, LOCALE_STHOUSAND or LOCALE_SDECIMAL
// as text (see NumericConventions). Returns the characters written including the terminator;
// cchData 0 returns the size needed (terminator included) and writes nothing; a buffer smaller
// than that returns 0 with 122, so a two-character query fails for a locale whose separator is
// longer than one character. Only LOCALE_USER_DEFAULT is provided: another locale gives 0 with 87,
// another type 0 with 1004 (ERROR_INVALID_FLAGS); a negative cchData or a null buffer with
// cchData > 0 gives 0 with 87.
int WINAPI GetLocaleInfoW(LCID locale, LCTYPE type, LPWSTR data, int cchData);

// Win32: formats `value` with the NUMBERFMTW settings; `localeName` is not consulted, since the
// settings give everything the text needs.
// - value: ASCII digits with at most one '.', optionally after one leading '-'; anything else
//   (a '+', blanks, exponents, separators, other digits, null) gives 0 with 87. Leading zeros are
//   dropped; an empty digit sequence is the number 0.
// - NumDigits fractional digits, rounded half up (away from zero), padded with zeros.
// - LeadingZero 0 omits the "0" before the decimal separator of a fraction (".50"); an integer
//   zero always shows as "0", and a value that is zero after rounding has no sign.
// - Grouping: decimal digits giving group sizes from the decimal separator leftwards; the last
//   size repeats unless it is 0, which leaves the remaining digits in one group (3 -> 1,234,567;
//   30 -> 1234,567; 32 -> 12,34,567; 0 -> no grouping).
// - NegativeOrder 0 "(1.1)", 1 "-1.1", 2 "- 1.1", 3 "1.1-", 4 "1.1 -"; above 4 gives 0 with 87.
// - Separators of any length; a null separator gives 0 with 87.
// Returns the characters written including the terminator. cchNumber 0 returns the size needed;
// too small a buffer returns 0 with 122 and holds the text cut to cchNumber - 1 characters. A null
// format, flags other than 0 (1004), a negative cchNumber or a null buffer with cchNumber > 0
// give 0 with 87.
int WINAPI GetNumberFormatEx(LPCWSTR localeName, DWORD flags, LPCWSTR value, const NUMBERFMTW* format,
                             LPWSTR numberText, int cchNumber);
