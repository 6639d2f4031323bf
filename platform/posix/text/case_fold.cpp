// Provides lstrcmpiW and the layer's simple case folding over a generated Unicode table
// (no POSIX calls: towlower and friends depend on the process locale, which Win32 does not).
#include "platform/posix/text/case_fold.h"
#include "platform/posix/text/text.h"

#include <cstdint>

namespace platform {

namespace {
#include "platform/posix/text/case_fold_table.inc"
} // namespace

wchar_t FoldCase(wchar_t ch)
{
    // wchar_t is signed on this platform: a negative value becomes a huge code point and is
    // left alone like every other value beyond the table.
    const auto cp = static_cast<std::uint32_t>(ch);
    if (cp < 0x80) {
        return (cp - 'A' < 26) ? static_cast<wchar_t>(cp + ('a' - 'A')) : ch;
    }
    if (cp >= kFoldLimit) {
        return ch;
    }
    const auto block = kFoldBlockIndex[cp >> kFoldBlockShift];
    return static_cast<wchar_t>(cp + static_cast<std::uint32_t>(kFoldDeltas[block][cp & kFoldBlockMask]));
}

} // namespace platform

int WINAPI lstrcmpiW(LPCWSTR a, LPCWSTR b)
{
    // A null string sorts before every other string, as the Win32 function orders them, instead
    // of being read through.
    if (a == nullptr || b == nullptr) {
        return (a == b) ? 0 : (a == nullptr ? -1 : 1);
    }
    for (;; ++a, ++b) {
        const auto left = static_cast<std::uint32_t>(platform::FoldCase(*a));
        const auto right = static_cast<std::uint32_t>(platform::FoldCase(*b));
        if (left != right) {
            return left < right ? -1 : 1;
        }
        if (left == 0) {
            return 0;
        }
    }
}
