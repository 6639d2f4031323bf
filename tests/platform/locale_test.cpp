// The user locale's number conventions (GetLocaleInfoW) and GetNumberFormatEx: grouping rules,
// rounding, negative forms, input validation and buffer sizes.
#include "platform/platform.h"
#include "scoped_environment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

using testing_support::ScopedEnvironment;

constexpr DWORD kSentinel = 0xDEAD;
constexpr DWORD kErrorInvalidFlags = 1004;

// Runs with LC_ALL, LC_NUMERIC and LANG as given (null: unset).
struct LocaleEnvironment {
    LocaleEnvironment(const char* all, const char* numeric, const char* lang)
        : all_("LC_ALL", all), numeric_("LC_NUMERIC", numeric), lang_("LANG", lang)
    {
    }
    ScopedEnvironment all_;
    ScopedEnvironment numeric_;
    ScopedEnvironment lang_;
};

bool Installed(const char* name, const wchar_t* decimal)
{
    return platform::NumericConventionsOf(name).decimal == decimal;
}

std::wstring LocaleValue(LCTYPE type)
{
    wchar_t buffer[32] = {};
    EXPECT_GT(GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 32), 0);
    return buffer;
}

TEST(GroupingTextFromBytes, ConvertsPosixGroupingToWin32Text)
{
    const struct {
        const char* bytes;
        const wchar_t* text;
    } cases[] = {
        {"\3", L"3;0"},       {"\3\3", L"3;0"}, {"\3\2", L"3;2;0"}, {"\3\2\2", L"3;2;0"}, {"\3\x7f", L"3"},
        {"\3\3\x7f", L"3;3"}, {"\4", L"4;0"},  {"", L"0"},         {"\x7f", L"0"},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(platform::GroupingTextFromBytes(row.bytes), row.text) << row.bytes;
    }
}

TEST(NumericConventions, CAndUnknownLocalesAreInvariant)
{
    for (const char* name : {"", "C", "POSIX", "C.UTF-8", "C.utf8", "xx_NOWHERE.UTF-8", "not a locale"}) {
        const platform::NumericConventions conventions = platform::NumericConventionsOf(name);
        EXPECT_EQ(conventions.grouping, L"3;0") << name;
        EXPECT_EQ(conventions.thousands, L",") << name;
        EXPECT_EQ(conventions.decimal, L".") << name;
    }
}

TEST(NumericConventions, UserLocaleIsFirstNonEmptyOfLcAllLcNumericLang)
{
    if (!Installed("de_DE.UTF-8", L",")) {
        GTEST_SKIP() << "locale de_DE.UTF-8 is not installed";
    }
    const struct {
        const char* all;
        const char* numeric;
        const char* lang;
        const wchar_t* decimal;
    } cases[] = {
        {"de_DE.UTF-8", "C", "C", L","}, {"", "de_DE.UTF-8", "C", L","}, {nullptr, nullptr, "de_DE.UTF-8", L","},
        {"C", "de_DE.UTF-8", "de_DE.UTF-8", L"."}, {nullptr, "C", "de_DE.UTF-8", L"."},
        {nullptr, nullptr, nullptr, L"."},
    };
    for (const auto& row : cases) {
        const LocaleEnvironment environment(row.all, row.numeric, row.lang);
        EXPECT_EQ(LocaleValue(LOCALE_SDECIMAL), row.decimal);
    }
    const LocaleEnvironment german("de_DE.UTF-8", nullptr, nullptr);
    EXPECT_EQ(LocaleValue(LOCALE_STHOUSAND), L".");
    EXPECT_EQ(LocaleValue(LOCALE_SGROUPING), L"3;0");
}

TEST(GetLocaleInfoW, InvariantValuesAndSizes)
{
    const LocaleEnvironment environment(nullptr, nullptr, nullptr);
    const struct {
        LCTYPE type;
        const wchar_t* value;
    } cases[] = {{LOCALE_SGROUPING, L"3;0"}, {LOCALE_STHOUSAND, L","}, {LOCALE_SDECIMAL, L"."}};
    for (const auto& row : cases) {
        const int needed = static_cast<int>(std::wcslen(row.value)) + 1;
        EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, row.type, nullptr, 0), needed);
        wchar_t buffer[8];
        std::fill(std::begin(buffer), std::end(buffer), L'#');
        SetLastError(kSentinel);
        EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, row.type, buffer, needed - 1), 0);
        EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
        EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, row.type, buffer, needed), needed);
        EXPECT_STREQ(buffer, row.value);
    }
}

TEST(GetLocaleInfoW, RejectsWhatItDoesNotProvide)
{
    wchar_t buffer[8];
    const struct {
        LCID locale;
        LCTYPE type;
        LPWSTR data;
        int cch;
        DWORD error;
    } cases[] = {
        {0x409, LOCALE_STHOUSAND, buffer, 8, ERROR_INVALID_PARAMETER},
        {LOCALE_USER_DEFAULT, 0x5C, buffer, 8, kErrorInvalidFlags},
        {LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, buffer, -1, ERROR_INVALID_PARAMETER},
        {LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, nullptr, 8, ERROR_INVALID_PARAMETER},
    };
    for (const auto& row : cases) {
        SetLastError(kSentinel);
        EXPECT_EQ(GetLocaleInfoW(row.locale, row.type, row.data, row.cch), 0);
        EXPECT_EQ(GetLastError(), row.error);
    }
}

// The settings the grouped-number formatter builds: no decimals, groups of 3, comma, parentheses.
NUMBERFMTW Format(UINT grouping = 3, const wchar_t* thousands = L",", UINT numDigits = 0, UINT leadingZero = 0,
                  UINT negativeOrder = 0, const wchar_t* decimal = L".")
{
    return {numDigits, leadingZero, grouping, const_cast<LPWSTR>(decimal), const_cast<LPWSTR>(thousands),
            negativeOrder};
}

// The formatted text, or "error <code>" when the call fails.
std::wstring Formatted(const wchar_t* value, const NUMBERFMTW& format)
{
    wchar_t buffer[64];
    SetLastError(kSentinel);
    const int written = GetNumberFormatEx(nullptr, 0, value, &format, buffer, 64);
    if (written == 0) {
        return L"error " + std::to_wstring(GetLastError());
    }
    EXPECT_EQ(static_cast<size_t>(written), std::wcslen(buffer) + 1) << value;
    return buffer;
}

TEST(GetNumberFormatEx, DigitTextWithDefaultGroupingSettings)
{
    const struct {
        const wchar_t* value;
        const wchar_t* text;
    } cases[] = {
        {L"0", L"0"},
        {L"999", L"999"},
        {L"1000", L"1,000"},
        {L"1234567", L"1,234,567"},
        {L"-1234567", L"(1,234,567)"},
        {L"18446744073709551615", L"18,446,744,073,709,551,615"},
        {L"-9223372036854775808", L"(9,223,372,036,854,775,808)"},
        {L"0001234", L"1,234"},
        {L"000", L"0"},
        {L"", L"0"},
        {L"-0", L"0"}, // zero has no sign
        {L"-", L"0"},
        {L"-0.4", L"0"},
        {L"1234.5", L"1,235"}, // halves round up
        {L"1234.4", L"1,234"},
        {L"1235.5", L"1,236"},
        {L"0.5", L"1"},
        {L".5", L"1"},
        {L"999.5", L"1,000"}, // the carry opens a new group
        {L"-1234567.5", L"(1,234,568)"},
        {L"12a", L"error 87"},
        {L"+5", L"error 87"},
        {L" 5", L"error 87"},
        {L"5 ", L"error 87"},
        {L"1e5", L"error 87"},
        {L"1,000", L"error 87"},
        {L"1.2.3", L"error 87"},
        {L"--1", L"error 87"},
        {L"\xFF11\xFF12", L"error 87"}, // fullwidth digits
    };
    const NUMBERFMTW format = Format();
    for (const auto& row : cases) {
        EXPECT_EQ(Formatted(row.value, format), row.text) << row.value;
    }
    wchar_t buffer[8];
    SetLastError(kSentinel);
    EXPECT_EQ(GetNumberFormatEx(nullptr, 0, nullptr, &format, buffer, 8), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(GetNumberFormatEx, GroupingValues)
{
    const struct {
        UINT grouping;
        const wchar_t* text;
    } cases[] = {
        {0, L"1234567"},      {3, L"1,234,567"},     {30, L"1234,567"}, {32, L"12,34,567"}, {320, L"12,34,567"},
        {31, L"1,2,3,4,567"}, {2, L"1,23,45,67"},    {10, L"123456,7"}, {33, L"1,234,567"}, {9999, L"1234567"},
        {302, L"1234,567"},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(Formatted(L"1234567", Format(row.grouping)), row.text) << row.grouping;
    }
    EXPECT_EQ(Formatted(L"123456789012", Format(32)), L"1,23,45,67,89,012");
}

TEST(GetNumberFormatEx, DecimalsLeadingZeroSeparatorsAndNegativeOrders)
{
    const struct {
        const wchar_t* value;
        NUMBERFMTW format;
        const wchar_t* text;
    } cases[] = {
        {L"1234567.891", Format(3, L",", 2), L"1,234,567.89"},
        {L"1234567.999", Format(3, L",", 2), L"1,234,568.00"},
        {L"0.5", Format(3, L",", 2, 0), L".50"},
        {L"0.5", Format(3, L",", 2, 1), L"0.50"},
        {L"0", Format(3, L",", 2, 0), L".00"},
        {L"0.996", Format(3, L",", 2, 0), L"1.00"},
        {L"1234567", Format(3, L",", 10), L"1,234,567.0000000000"},
        {L"1234567", Format(3, L",", 0, 2), L"1,234,567"},
        {L"-1234567", Format(3, L",", 0, 0, 1), L"-1,234,567"},
        {L"-1234567", Format(3, L",", 0, 0, 2), L"- 1,234,567"},
        {L"-1234567", Format(3, L",", 0, 0, 3), L"1,234,567-"},
        {L"-1234567", Format(3, L",", 0, 0, 4), L"1,234,567 -"},
        {L"-1234567", Format(3, L",", 0, 0, 5), L"error 87"},
        {L"-0.001", Format(3, L",", 2, 1, 1), L"0.00"},
        {L"1234567", Format(3, L""), L"1234567"},
        {L"1234567", Format(3, L"\u00A0"), L"1\u00A0234\u00A0567"},
        {L"1234567", Format(3, L"abcde"), L"1abcde234abcde567"},
        {L"1234567.5", Format(3, L",", 1, 0, 0, L"abcd"), L"1,234,567abcd5"},
        {L"1234567.5", Format(3, L",", 1, 0, 0, L""), L"1,234,5675"},
        {L"1234567", Format(3, nullptr), L"error 87"},
        {L"1234567", Format(3, L",", 0, 0, 0, nullptr), L"error 87"},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(Formatted(row.value, row.format), row.text) << row.value;
    }
}

TEST(GetNumberFormatEx, BufferSizes)
{
    const NUMBERFMTW format = Format();
    wchar_t buffer[16];
    std::fill(std::begin(buffer), std::end(buffer), L'#');
    EXPECT_EQ(GetNumberFormatEx(nullptr, 0, L"1234567", &format, nullptr, 0), 10);
    EXPECT_EQ(GetNumberFormatEx(nullptr, 0, L"1234567", &format, buffer, 0), 10);
    EXPECT_EQ(buffer[0], L'#');

    SetLastError(kSentinel);
    EXPECT_EQ(GetNumberFormatEx(nullptr, 0, L"1234567", &format, buffer, 9), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(buffer, L"1,234,56");
    EXPECT_EQ(buffer[9], L'#');
    EXPECT_EQ(GetNumberFormatEx(nullptr, 0, L"1234567", &format, buffer, 10), 10);
    EXPECT_STREQ(buffer, L"1,234,567");

    // A huge NumDigits is counted, not built: the cut text stays within the buffer.
    const NUMBERFMTW manyDigits = Format(3, L",", 0xFFFFFFF0u);
    EXPECT_EQ(GetNumberFormatEx(nullptr, 0, L"1234567", &manyDigits, buffer, 16), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(buffer, L"1,234,567.00000");
    SetLastError(kSentinel);
    EXPECT_EQ(GetNumberFormatEx(nullptr, 0, L"1234567", &manyDigits, nullptr, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    const struct {
        DWORD flags;
        const NUMBERFMTW* format;
        LPWSTR out;
        int cch;
        DWORD error;
    } failures[] = {
        {0, &format, buffer, -1, ERROR_INVALID_PARAMETER},
        {0, &format, nullptr, 10, ERROR_INVALID_PARAMETER},
        {0, nullptr, buffer, 16, ERROR_INVALID_PARAMETER},
        {1, &format, buffer, 16, kErrorInvalidFlags},
    };
    for (const auto& row : failures) {
        SetLastError(kSentinel);
        EXPECT_EQ(GetNumberFormatEx(nullptr, row.flags, L"1234567", row.format, row.out, row.cch), 0);
        EXPECT_EQ(GetLastError(), row.error);
    }
}

// The way the grouped-number formatter uses the two calls: a one-character separator buffer and
// the first number of the grouping text.
std::wstring GroupedLikeTheTools(const wchar_t* digits)
{
    wchar_t separator[2] = {L',', L'\0'};
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, separator, 2) == 0) {
        separator[0] = L',';
        separator[1] = L'\0';
    }
    wchar_t groupingText[32] = {};
    const UINT grouping = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SGROUPING, groupingText, 32) != 0
                              ? static_cast<UINT>(std::wcstoul(groupingText, nullptr, 10))
                              : 3;
    const NUMBERFMTW format = Format(grouping, separator, 0, 0, 0, separator);
    return Formatted(digits, format);
}

TEST(GetNumberFormatEx, GroupedNumbersUnderTheInvariantLocale)
{
    const LocaleEnvironment environment("C", nullptr, nullptr);
    EXPECT_EQ(GroupedLikeTheTools(L"1234567"), L"1,234,567");
    EXPECT_EQ(GroupedLikeTheTools(L"999"), L"999");
    EXPECT_EQ(GroupedLikeTheTools(L"0"), L"0");
    EXPECT_EQ(GroupedLikeTheTools(L"-1234567"), L"(1,234,567)");
}

TEST(GetNumberFormatEx, GroupedNumbersUnderAGermanLocale)
{
    if (!Installed("de_DE.UTF-8", L",")) {
        GTEST_SKIP() << "locale de_DE.UTF-8 is not installed";
    }
    const LocaleEnvironment environment("de_DE.UTF-8", nullptr, nullptr);
    EXPECT_EQ(GroupedLikeTheTools(L"1234567"), L"1.234.567");
    EXPECT_EQ(GroupedLikeTheTools(L"0"), L"0");
}

} // namespace
