// Conversion between the layer's wide strings and the bytes of POSIX names and console text, and
// the wide string functions. Provides StrChrW and lstrcmpiW (wsprintfW is in wide_format.h, the
// printf/wprintf shells in console.h).
#pragma once
#include "win32_types.h"

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
} // namespace platform

// Win32: first occurrence of `ch` in `text`, or null; the terminator itself can be searched for.
PWSTR WINAPI StrChrW(PCWSTR text, WCHAR ch);
// Win32: case-insensitive comparison (simple case folding), <0, 0 or >0.
int WINAPI lstrcmpiW(LPCWSTR a, LPCWSTR b);
