// Conversion between the layer's wide strings and the bytes of POSIX names and console text, and
// the wide string functions. Provides StrChrW and lstrcmpiW (wsprintfW is in wide_format.h, the
// printf/wprintf shells in console.h) and MultiByteToWideChar.
#pragma once
#include "platform/posix/system/win32_types.h"

#include <string>

namespace platform {
// UTF-8 bytes to wide characters. Bytes that are not part of a valid UTF-8 sequence become
// U+DC80..U+DCFF (the byte value plus 0xDC00), so that every byte string round-trips exactly
// through WideFromBytes / BytesFromWide.
std::wstring WideFromBytes(const char* bytes, size_t length);
// The same into `wide`, which has room for `length` characters (never more are needed); returns
// the characters written, with no terminator added.
size_t WideFromBytes(const char* bytes, size_t length, wchar_t* wide);
std::wstring WideFromBytes(const std::string& bytes);
// Wide characters back to bytes: escapes U+DC80..U+DCFF become their original byte, every
// other character its UTF-8 form. Returns false (and leaves `out` partial) for a character
// that has no UTF-8 form (another lone surrogate, or a value above U+10FFFF).
bool BytesFromWide(const wchar_t* wide, size_t length, std::string& out);
std::string BytesFromWide(const std::wstring& wide);
} // namespace platform

inline constexpr UINT CP_UTF8 = 65001;

// Win32: converts `byteCount` bytes (-1: up to and with the terminator) of code page CP_UTF8 into
// `wide` (room for `wideCount` characters) and returns the characters written; with `wideCount`
// 0, the characters needed. Only CP_UTF8 with flags 0 is offered (else ERROR_INVALID_PARAMETER).
// Fails with ERROR_INSUFFICIENT_BUFFER when the room is too small. Where Windows puts U+FFFD for
// a byte that is not valid UTF-8, the layer keeps it as its escape (WideFromBytes), so that a name
// read from a text file names the same file as the enumeration does.
int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, const char* bytes, int byteCount, LPWSTR wide, int wideCount);

// Win32: first occurrence of `ch` in `text`, or null; the terminator itself can be searched for.
PWSTR WINAPI StrChrW(PCWSTR text, WCHAR ch);
// Win32: case-insensitive comparison (simple case folding), <0, 0 or >0.
int WINAPI lstrcmpiW(LPCWSTR a, LPCWSTR b);
