// Conversion between the layer's wide strings and the bytes of POSIX names and console text,
// and the console printing functions. Provides StrChrW, lstrcmpiW, and the printf/wprintf
// shells that print wide arguments as their original bytes.
#pragma once
#include "win32_types.h"

#include <cstdarg>
#include <string>

namespace platform {
// UTF-8 bytes to wide characters. Bytes that are not part of a valid UTF-8 sequence become
// U+DC80..U+DCFF (the byte value plus 0xDC00), so that every byte string round-trips exactly
// through WideFromBytes / BytesFromWide.
std::wstring WideFromBytes(const char* bytes, size_t length);
std::wstring WideFromBytes(const std::string& bytes);
// Wide characters back to bytes: escapes U+DC80..U+DCFF become their original byte, every
// other character its UTF-8 form. Returns false (and leaves `out` partial) for a character
// that has no UTF-8 form (another lone surrogate, or a value above U+10FFFF).
bool BytesFromWide(const wchar_t* wide, size_t length, std::string& out);
std::string BytesFromWide(const std::wstring& wide);

// printf / wprintf with the C99 conversions; %ls / %lc (and %s / %c in wide formats, which take
// narrow text) are printed through BytesFromWide, independent of the process locale. The text of one
// call is written whole with one write under the stream's lock.
int Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
int VPrintf(const char* format, va_list args);
int WPrintf(const wchar_t* format, ...);
// Formats as above into a std::string (used by the console shells and by tests).
std::string FormatBytes(const char* format, va_list args);
} // namespace platform

// Win32: first occurrence of `ch` in `text`, or null; the terminator itself can be searched for.
PWSTR WINAPI StrChrW(PCWSTR text, WCHAR ch);
// Win32: case-insensitive comparison (simple case folding), <0, 0 or >0.
int WINAPI lstrcmpiW(LPCWSTR a, LPCWSTR b);
