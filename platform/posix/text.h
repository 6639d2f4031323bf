// Conversion between the layer's wide strings and the bytes of POSIX names and console text,
// and the console printing functions. Provides StrChrW, lstrcmpiW, wsprintfW, and the
// printf/wprintf shells that print wide arguments as their original bytes.
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

// Win32: first occurrence of `ch` in `text`, or null; the terminator itself can be searched for.
PWSTR WINAPI StrChrW(PCWSTR text, WCHAR ch);
// Win32: case-insensitive comparison (simple case folding), <0, 0 or >0.
int WINAPI lstrcmpiW(LPCWSTR a, LPCWSTR b);

// Win32: formats into `buffer`, writing at most 1024 characters with the terminator, and returns
// the characters written without it. The directives offered: %c (a WCHAR), %s (a wide string;
// null prints "(null)"), %d, %u, %x (lower-case hex), %lc, %ls, %ld, %lu, %lx (the same: a long
// is 32 bits on Win32, and these read 32-bit values) and %%. Anything else after a % (flags,
// widths, precisions, other types) ends the text there: what came before it is terminated and
// counted, which is less than the full text, the Win32 sign of failure. A null buffer or format
// writes nothing and returns 0.
int WINAPIV wsprintfW(LPWSTR buffer, LPCWSTR format, ...);
