// Console text. Provides the printf/wprintf shells of the layer (platform.h redirects printf and
// wprintf to Printf and WPrintf) and the formatting they print, over vsnprintf and one fwrite.
#pragma once
#include "platform/posix/system/win32_types.h"

#include <cstdarg>
#include <string>

namespace platform {
// printf / wprintf with the C99 conversions. %ls / %lc (and %s / %c in wide formats, which take
// narrow text) are printed through BytesFromWide, so names print as their original bytes; a null
// %ls prints "(null)". Nothing depends on the process locale. The text of one call is written whole
// with one fwrite, under the stream's lock. A format whose own text ends in "\n\r" is written
// ending in "\n" (on Windows that ending is CR LF CR; here the "\r" would begin the next line); the
// bytes of the arguments are never changed. Return the bytes written, or -1 for a malformed format,
// a wide character with no byte form, or a failed write. Widths and precisions of text count bytes
// in a narrow format (a precision never splits a character) and characters in a wide format.
int Printf(const char* format, ...) __attribute__((__format__(__printf__, 1, 2)));
int VPrintf(const char* format, va_list args) __attribute__((__format__(__printf__, 1, 0)));
int WPrintf(const wchar_t* format, ...);
// Formats as Printf / WPrintf print, appending the bytes to `out`; false (with `out` partial) when
// those would return -1 before writing.
bool AppendFormat(std::string& out, const char* format, va_list args) __attribute__((__format__(__printf__, 2, 0)));
bool AppendFormat(std::string& out, const wchar_t* format, va_list args);
// The bytes Printf would write; an empty string when it would fail.
std::string FormatBytes(const char* format, va_list args) __attribute__((__format__(__printf__, 1, 0)));
} // namespace platform
