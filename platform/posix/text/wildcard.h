// File-name wildcard matching. Provides PathMatchSpecW and PathMatchSpecExW, and the single-pattern
// matcher that the directory enumeration uses to filter names.
#pragma once
#include "platform/posix/system/win32_types.h"

namespace platform {
// Matches the whole `name` against one pattern (no ';' lists, no blanks skipped): '*' any run of
// characters including none, '?' exactly one character, every other character literal ('[', '^',
// '\' and '/' included), letter case ignored by simple case folding (FoldCase). The pattern "*.*"
// matches every name, also names without a dot, "." and "..". Time is at most proportional to
// the product of the two lengths, never exponential, however many stars the pattern holds.
bool MatchSinglePattern(const wchar_t* name, size_t nameLength, const wchar_t* pattern, size_t patternLength);
} // namespace platform

// Win32: TRUE when the whole `file` string (not only its last component) matches `patterns`, a list of
// patterns separated by ';', each with its leading spaces (not tabs) skipped and matched as by
// MatchSinglePattern; trailing spaces and dots of a pattern are significant. An empty list matches
// nothing; ";;" holds an empty pattern, which matches only the empty name; a final ';' adds no
// pattern. A null argument returns FALSE (the system function would crash).
BOOL WINAPI PathMatchSpecW(LPCWSTR file, LPCWSTR patterns);
// Win32: S_OK on a match, S_FALSE otherwise, with the rules of PathMatchSpecW for every flag value
// (PMSF_NORMAL, PMSF_MULTIPLE and PMSF_DONT_STRIP_SPACES alike: ';' always separates patterns and
// leading spaces are always skipped). A null argument returns E_INVALIDARG.
HRESULT WINAPI PathMatchSpecExW(LPCWSTR file, LPCWSTR patterns, DWORD flags);
