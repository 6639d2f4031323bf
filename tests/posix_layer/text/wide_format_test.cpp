// wsprintfW: the directives offered with their Win32 meaning, the 1024-character limit and the
// stop at a directive that is not offered.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <string>

namespace {

TEST(WideFormat, DirectivesWithWin32Meaning)
{
    wchar_t out[64];
    // The digest text's form: each group of eight digits is written where the previous ended.
    EXPECT_EQ(8, wsprintfW(out, L"%c%c%c%c%c%c%c%c", L'0', L'1', L'a', L'f', L'9', L'8', L'e', L'\u00E9'));
    EXPECT_EQ(8, wsprintfW(out + 8, L"%c%c%c%c%c%c%c%c", L'c', L'b', L'f', L'4', L'3', L'9', L'2', L'6'));
    EXPECT_STREQ(L"01af98e\u00E9cbf43926", out);

    const struct {
        std::function<int(wchar_t*)> format;
        const wchar_t* text;
    } rows[] = {
        {[](wchar_t* o) { return wsprintfW(o, L"%d|%d|%ld", 0, INT_MIN, -42); }, L"0|-2147483648|-42"},
        {[](wchar_t* o) { return wsprintfW(o, L"%u %lu", 4294967295u, 7u); }, L"4294967295 7"},
        {[](wchar_t* o) { return wsprintfW(o, L"%x-%lx", 0xDEADBEEFu, 0u); }, L"deadbeef-0"},
        {[](wchar_t* o) { return wsprintfW(o, L"[%s][%ls][%s]", L"wide", L"\u20AC", static_cast<const wchar_t*>(nullptr)); },
         L"[wide][\u20AC][(null)]"},
        {[](wchar_t* o) { return wsprintfW(o, L"100%% %lc", L'x'); }, L"100% x"},
        // A directive that is not offered ends the text, also a lone % at the end.
        {[](wchar_t* o) { return wsprintfW(o, L"ab%5dcd", 1); }, L"ab"},
        {[](wchar_t* o) { return wsprintfW(o, L"ab%"); }, L"ab"},
        {[](wchar_t* o) { return wsprintfW(o, L""); }, L""},
    };
    for (const auto& row : rows) {
        std::fill(std::begin(out), std::end(out), L'#');
        EXPECT_EQ(static_cast<int>(std::wcslen(row.text)), row.format(out)) << row.text;
        EXPECT_STREQ(row.text, out);
    }
}

TEST(WideFormat, WritesAtMost1024CharactersWithTheTerminator)
{
    const std::wstring longText(2000, L'y');
    std::wstring out(1100, L'#');
    EXPECT_EQ(1023, wsprintfW(out.data(), L"%s", longText.c_str()));
    EXPECT_EQ(L'\0', out[1023]);
    EXPECT_EQ(L'#', out[1024]);
    EXPECT_EQ(1023, wsprintfW(out.data(), L"%s%d", std::wstring(1020, L'z').c_str(), 123456));
    EXPECT_EQ(L"123", out.substr(1020, 3));
    EXPECT_EQ(0, wsprintfW(nullptr, L"x"));
}

} // namespace
