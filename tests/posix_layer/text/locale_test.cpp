// The user locale's number conventions (GetLocaleInfoW) and GetNumberFormatEx: grouping,
// rounding, negative forms, input validation and buffer sizes.
#include "platform/platform.h"
#include "support/scoped_environment.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using testing_support::ScopedEnvironment;

constexpr DWORD kSentinel = 0xDEAD;

bool GermanInstalled()
{
    return platform::NumericConventionsOf("de_DE.UTF-8").decimal == L",";
}

// The user locale comes from LC_ALL, LC_NUMERIC and LANG (null: unset).
struct LocaleEnvironment {
    ScopedEnvironment all;
    ScopedEnvironment numeric;
    ScopedEnvironment lang;
};

TEST(GroupingTextFromBytes, PosixGroupingBecomesWin32Text)
{
    const struct {
        const char* bytes;
        const wchar_t* text;
    } cases[] = {{"\3", L"3;0"}, {"\3\3", L"3;0"}, {"\3\2", L"3;2;0"}, {"\3\2\2", L"3;2;0"},
                 {"\3\x7f", L"3"}, {"\3\3\x7f", L"3;3"}, {"", L"0"}, {"\x7f", L"0"}};
    for (const auto& row : cases) {
        EXPECT_EQ(platform::GroupingTextFromBytes(row.bytes), row.text);
    }
}

TEST(GetLocaleInfoW, InvariantLocaleValuesAndSizes)
{
    for (const char* name : {"", "C", "POSIX", "C.UTF-8", "xx_NOWHERE.UTF-8"}) {
        const LocaleEnvironment environment{{"LC_ALL", name}, {"LC_NUMERIC", nullptr}, {"LANG", nullptr}};
        const struct {
            LCTYPE type;
            const wchar_t* value;
        } cases[] = {{LOCALE_SGROUPING, L"3;0"}, {LOCALE_STHOUSAND, L","}, {LOCALE_SDECIMAL, L"."}};
        for (const auto& row : cases) {
            const int needed = static_cast<int>(std::wcslen(row.value)) + 1;
            wchar_t buffer[8] = {};
            EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, row.type, nullptr, 0), needed) << name;
            SetLastError(kSentinel);
            EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, row.type, buffer, needed - 1), 0) << name;
            EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
            EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, row.type, buffer, needed), needed) << name;
            EXPECT_STREQ(buffer, row.value) << name;
        }
    }
    wchar_t buffer[8];
    EXPECT_EQ(GetLocaleInfoW(0x409, LOCALE_STHOUSAND, buffer, 8), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, 0x5C, buffer, 8), 0);
    EXPECT_EQ(GetLastError(), 1004u);
}

TEST(GetLocaleInfoW, UserLocaleIsTheFirstNonEmptyOfLcAllLcNumericLang)
{
    if (!GermanInstalled()) {
        GTEST_SKIP() << "locale de_DE.UTF-8 is not installed";
    }
    const struct {
        const char* all;
        const char* numeric;
        const char* lang;
        const wchar_t* decimal;
    } cases[] = {{"de_DE.UTF-8", "C", "C", L","}, {"", "de_DE.UTF-8", "C", L","}, {nullptr, nullptr, "de_DE.UTF-8", L","},
                 {"C", "de_DE.UTF-8", "de_DE.UTF-8", L"."}, {nullptr, "C", "de_DE.UTF-8", L"."}};
    for (const auto& row : cases) {
        const LocaleEnvironment environment{{"LC_ALL", row.all}, {"LC_NUMERIC", row.numeric}, {"LANG", row.lang}};
        wchar_t decimal[8] = {};
        EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, decimal, 8), 2);
        EXPECT_STREQ(decimal, row.decimal);
    }
}

NUMBERFMTW Format(UINT grouping, const wchar_t* thousands = L",", UINT numDigits = 0, UINT leadingZero = 0,
                  UINT negativeOrder = 0, const wchar_t* decimal = L".")
{
    return {numDigits, leadingZero, grouping, const_cast<LPWSTR>(decimal), const_cast<LPWSTR>(thousands),
            negativeOrder};
}

// The formatted text, or "error <code>" when the call fails.
std::wstring Formatted(const wchar_t* value, const NUMBERFMTW& format)
{
    wchar_t buffer[64];
    const int written = GetNumberFormatEx(nullptr, 0, value, &format, buffer, 64);
    if (written == 0) {
        return L"error " + std::to_wstring(GetLastError());
    }
    EXPECT_EQ(static_cast<size_t>(written), std::wcslen(buffer) + 1) << value;
    return buffer;
}

TEST(GetNumberFormatEx, DigitTextRoundingAndValidation)
{
    const struct {
        const wchar_t* value;
        const wchar_t* text;
    } cases[] = {
        {L"0", L"0"}, {L"999", L"999"}, {L"1000", L"1,000"}, {L"-1234567", L"(1,234,567)"},
        {L"18446744073709551615", L"18,446,744,073,709,551,615"}, {L"0001234", L"1,234"}, {L"", L"0"},
        {L"-0", L"0"}, {L"-", L"0"}, {L"-0.4", L"0"}, // zero has no sign
        {L"1234.5", L"1,235"}, {L"1234.4", L"1,234"}, {L"0.5", L"1"}, {L".5", L"1"},
        {L"999.5", L"1,000"}, {L"-1234567.5", L"(1,234,568)"}, // halves round up, the carry opens a group
        {L"12a", L"error 87"}, {L"+5", L"error 87"}, {L" 5", L"error 87"}, {L"5 ", L"error 87"},
        {L"1e5", L"error 87"}, {L"1,000", L"error 87"}, {L"1.2.3", L"error 87"}, {L"--1", L"error 87"},
        {L"\xFF11\xFF12", L"error 87"},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(Formatted(row.value, Format(3)), row.text) << row.value;
    }
    const NUMBERFMTW format = Format(3);
    EXPECT_EQ(GetNumberFormatEx(nullptr, 0, nullptr, &format, nullptr, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(GetNumberFormatEx, GroupingDecimalsSeparatorsAndNegativeOrders)
{
    const struct {
        const wchar_t* value;
        NUMBERFMTW format;
        const wchar_t* text;
    } cases[] = {
        {L"1234567", Format(0), L"1234567"},       {L"1234567", Format(3), L"1,234,567"},
        {L"1234567", Format(30), L"1234,567"},     {L"1234567", Format(32), L"12,34,567"},
        {L"1234567", Format(320), L"12,34,567"},   {L"1234567", Format(31), L"1,2,3,4,567"},
        {L"1234567", Format(2), L"1,23,45,67"},    {L"1234567", Format(10), L"123456,7"},
        {L"1234567", Format(9999), L"1234567"},    {L"123456789012", Format(32), L"1,23,45,67,89,012"},
        {L"1234567.891", Format(3, L",", 2), L"1,234,567.89"},
        {L"1234567.999", Format(3, L",", 2), L"1,234,568.00"},
        {L"0.5", Format(3, L",", 2, 0), L".50"}, {L"0.5", Format(3, L",", 2, 1), L"0.50"},
        {L"1234567", Format(3, L",", 10), L"1,234,567.0000000000"},
        {L"-1234567", Format(3, L",", 0, 0, 1), L"-1,234,567"},
        {L"-1234567", Format(3, L",", 0, 0, 2), L"- 1,234,567"},
        {L"-1234567", Format(3, L",", 0, 0, 3), L"1,234,567-"},
        {L"-1234567", Format(3, L",", 0, 0, 4), L"1,234,567 -"},
        {L"-1234567", Format(3, L",", 0, 0, 5), L"error 87"},
        {L"1234567", Format(3, L""), L"1234567"}, {L"1234567", Format(3, L"abcde"), L"1abcde234abcde567"},
        {L"1234567.5", Format(3, L",", 1, 0, 0, L""), L"1,234,5675"},
        {L"1234567", Format(3, nullptr), L"error 87"}, {L"1234567", Format(3, L",", 0, 0, 0, nullptr), L"error 87"},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(Formatted(row.value, row.format), row.text) << row.value << " " << row.format.Grouping;
    }
}

TEST(GetNumberFormatEx, BufferSizes)
{
    const NUMBERFMTW format = Format(3);
    wchar_t buffer[16] = {L'#'};
    EXPECT_EQ(GetNumberFormatEx(nullptr, 0, L"1234567", &format, nullptr, 0), 10);
    EXPECT_EQ(GetNumberFormatEx(nullptr, 0, L"1234567", &format, buffer, 0), 10);
    EXPECT_EQ(buffer[0], L'#');
    EXPECT_EQ(GetNumberFormatEx(nullptr, 0, L"1234567", &format, buffer, 9), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(buffer, L"1,234,56");
    EXPECT_EQ(GetNumberFormatEx(nullptr, 0, L"1234567", &format, buffer, 10), 10);
    // A huge NumDigits is counted, never built: the text is cut within the buffer.
    const NUMBERFMTW manyDigits = Format(3, L",", 0xFFFFFFF0u);
    EXPECT_EQ(GetNumberFormatEx(nullptr, 0, L"1234567", &manyDigits, buffer, 16), 0);
    EXPECT_STREQ(buffer, L"1,234,567.00000");
    EXPECT_EQ(GetNumberFormatEx(nullptr, 0, L"1234567", &manyDigits, nullptr, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(GetNumberFormatEx(nullptr, 0, L"1", &format, buffer, -1), 0);
    EXPECT_EQ(GetNumberFormatEx(nullptr, 0, L"1", &format, nullptr, 10), 0);
    EXPECT_EQ(GetNumberFormatEx(nullptr, 0, L"1", nullptr, buffer, 16), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(GetNumberFormatEx(nullptr, 1, L"1", &format, buffer, 16), 0);
    EXPECT_EQ(GetLastError(), 1004u);
}

// As the tools group numbers: the separator read into two characters (comma when that fails),
// the grouping text's first number (3 when that fails).
std::wstring GroupedLikeTheTools(const wchar_t* digits)
{
    wchar_t separator[2] = {};
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, separator, 2) == 0) {
        separator[0] = L',';
    }
    wchar_t grouping[32] = {};
    const bool haveGrouping = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SGROUPING, grouping, 32) != 0;
    const auto size = haveGrouping ? static_cast<UINT>(std::wcstoul(grouping, nullptr, 10)) : 3;
    return Formatted(digits, Format(size, separator, 0, 0, 0, separator));
}

TEST(GetNumberFormatEx, GroupedNumbersOfTheInvariantLocale)
{
    const LocaleEnvironment environment{{"LC_ALL", nullptr}, {"LC_NUMERIC", nullptr}, {"LANG", "C.UTF-8"}};
    EXPECT_EQ(GroupedLikeTheTools(L"1234567"), L"1,234,567");
    EXPECT_EQ(GroupedLikeTheTools(L"999"), L"999");
    EXPECT_EQ(GroupedLikeTheTools(L"0"), L"0");
    EXPECT_EQ(GroupedLikeTheTools(L"-1234567"), L"(1,234,567)");
}

TEST(GetNumberFormatEx, GroupedNumbersOfAGermanLocale)
{
    if (!GermanInstalled()) {
        GTEST_SKIP() << "locale de_DE.UTF-8 is not installed";
    }
    const LocaleEnvironment environment{{"LC_ALL", "de_DE.UTF-8"}, {"LC_NUMERIC", nullptr}, {"LANG", nullptr}};
    EXPECT_EQ(GroupedLikeTheTools(L"1234567"), L"1.234.567");
}

} // namespace
