// The text form of a digest: lower-case hex in byte order, high nibble first.
#pragma once
#include "platform/platform.h"

// Room for the longest digest text (128 digits) with plenty to spare, as the work items hold it.
inline constexpr size_t kDigestTextChars = 256;

// Writes the hex text of `length` result bytes (a multiple of 4, at most 64) into `text`, four
// bytes (eight digits) at a time, each group terminating the text after itself.
void FormatDigestText(const BYTE* digest, DWORD length, wchar_t* text);
