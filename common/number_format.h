// Numbers as the user reads them: digits grouped by the user locale, byte sizes abbreviated.
#pragma once
#include "platform/platform.h"

#include "common/buffer_format.h"

// Width of every formatted statistics field and of the scratch buffer that holds a number's
// plain digits before grouping.
inline constexpr size_t kFieldChars = 64;

// Groups the plain decimal `digits` ("1234567", "-42") with the user locale's first grouping
// size and thousands separator (3 and "," when the locale cannot say, or when its separator is
// longer than one character); negative numbers in parentheses. Returns the characters written
// including the terminator, 0 on failure with `output` left empty.
int FormatGroupedNumber(wchar_t* output, int capacity, const wchar_t* digits);

// The first group size of a locale grouping text: "3;0" and "3;2;0" both give 3.
UINT FirstGroupSize(const wchar_t* grouping);

// A statistics field: `value` as plain digits with `format` ("%u", "%llu", ...), then grouped by
// the user locale into the field's own buffer (ungrouped when grouping fails).
template <typename T>
void FormatGroupedField(wchar_t (&field)[kFieldChars], const wchar_t* format, T value)
{
    wchar_t digits[kFieldChars];
    FormatToBuffer(digits, kFieldChars, format, value);
    // A number the formatter cannot group (memory is short) is shown as it is, never left out.
    if (FormatGroupedNumber(field, static_cast<int>(kFieldChars), digits) == 0) {
        CopyToBuffer(field, kFieldChars, digits);
    }
}
