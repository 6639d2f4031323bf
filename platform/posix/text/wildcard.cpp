// Provides PathMatchSpecW, PathMatchSpecExW and the enumeration's name filter over plain code
// (no POSIX calls: fnmatch knows brackets and escapes and its case rules follow the locale).
#include "platform/posix/text/wildcard.h"
#include "platform/posix/text/case_fold.h"

#include <cwchar>

namespace platform {

bool MatchSinglePattern(const wchar_t* name, size_t nameLength, const wchar_t* pattern, size_t patternLength)
{
    if (patternLength == 3 && pattern[0] == L'*' && pattern[1] == L'.' && pattern[2] == L'*') {
        return true;
    }
    // Greedy matching: a literal or '?' advances both sides; on a mismatch the most recent star
    // takes one more character and matching resumes behind it. Backtracking to an earlier star is
    // never needed, because the later star can absorb whatever the earlier one would have, so the
    // work is bounded by nameLength * patternLength.
    constexpr size_t kNoStar = static_cast<size_t>(-1);
    size_t p = 0;
    size_t n = 0;
    size_t resumePattern = kNoStar; // pattern position just behind the last star seen
    size_t resumeName = 0;          // name position that star's run currently ends at
    while (n < nameLength) {
        if (p < patternLength && pattern[p] == L'*') {
            resumePattern = ++p;
            resumeName = n;
        } else if (p < patternLength && (pattern[p] == L'?' || FoldCase(pattern[p]) == FoldCase(name[n]))) {
            ++p;
            ++n;
        } else if (resumePattern != kNoStar) {
            p = resumePattern;
            n = ++resumeName;
        } else {
            return false;
        }
    }
    while (p < patternLength && pattern[p] == L'*') {
        ++p;
    }
    return p == patternLength;
}

} // namespace platform

namespace {

// Tries each pattern of a ';' list in turn. A pattern begins wherever text remains, after its
// leading spaces, and ends at the next ';' or the end of the list.
bool MatchPatternList(const wchar_t* file, const wchar_t* patterns)
{
    const size_t fileLength = std::wcslen(file);
    while (*patterns != L'\0') {
        while (*patterns == L' ') {
            ++patterns;
        }
        const wchar_t* end = patterns;
        while (*end != L'\0' && *end != L';') {
            ++end;
        }
        if (platform::MatchSinglePattern(file, fileLength, patterns, static_cast<size_t>(end - patterns))) {
            return true;
        }
        patterns = (*end == L';') ? end + 1 : end;
    }
    return false;
}

} // namespace

BOOL WINAPI PathMatchSpecW(LPCWSTR file, LPCWSTR patterns)
{
    if (file == nullptr || patterns == nullptr) {
        return FALSE;
    }
    return MatchPatternList(file, patterns) ? TRUE : FALSE;
}

HRESULT WINAPI PathMatchSpecExW(LPCWSTR file, LPCWSTR patterns, DWORD /*flags*/)
{
    if (file == nullptr || patterns == nullptr) {
        return E_INVALIDARG;
    }
    return MatchPatternList(file, patterns) ? S_OK : S_FALSE;
}
