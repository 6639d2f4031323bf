// Locale-independent letter case: Unicode simple case folding of single characters, the
// comparison that file-name matching and lstrcmpiW rely on. lstrcmpiW itself is declared in
// text.h with the other string functions and defined in case_fold.cpp.
#pragma once
#include "platform/posix/system/win32_types.h"

namespace platform {
// Simple case folding (CaseFolding.txt statuses C and S): each character maps to at most one
// character, so é and É, σ, Σ and ς, д and Д, ａ and Ａ fold alike, while ß (full folding "ss"),
// dotless ı and dotted İ (Turkic folding) keep their own forms. No normalization: e + U+0301
// stays two characters. Values that are not Unicode scalars, including the escaped bytes
// U+DC80..U+DCFF of undecodable names, fold to themselves. Independent of the process locale.
wchar_t FoldCase(wchar_t ch);
} // namespace platform
