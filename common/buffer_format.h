// Bounded formatting and copying into fixed wide-character buffers, with the results of the
// platform's safe-string functions: text that does not fit is cut and reported, never overrun.
#pragma once
#include "platform/platform.h"

#include <cstdarg>

// Formats into `buffer` (capacity in characters, terminator included). S_OK when the whole text
// fits; 0x8007007A with the first capacity - 1 characters when it does not; E_INVALIDARG for a
// capacity of 0 (buffer untouched) or above 0x7FFFFFFF (first character cleared); E_OUTOFMEMORY
// (first character cleared) when the text cannot be made for lack of memory.
HRESULT FormatToBuffer(wchar_t* buffer, size_t capacity, const wchar_t* format, ...);
HRESULT FormatToBufferV(wchar_t* buffer, size_t capacity, const wchar_t* format, va_list args);

// Copies `source` into `buffer` up to its terminator or until one place is left, always
// terminating. 0x8007007A when the source was cut; E_INVALIDARG for a capacity outside
// 1..0x7FFFFFFF. `end` (optional) receives the address of the terminator written and
// `remaining` (optional) the places left from there, terminator place included.
HRESULT CopyToBuffer(wchar_t* buffer, size_t capacity, const wchar_t* source, wchar_t** end = nullptr,
                     size_t* remaining = nullptr);
