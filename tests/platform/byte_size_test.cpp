// StrFormatByteSizeW: every row of the system's observed table, the locale's decimal separator,
// and the cut text of small buffers.
#include "platform/platform.h"
#include "scoped_environment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

using testing_support::ScopedEnvironment;

struct SizeCase {
    LONGLONG size;
    const wchar_t* text; // with the English-like decimal point
};

const SizeCase kSizeCases[] = {
    {0, L"0 bytes"},
    {1, L"1 bytes"},
    {532, L"532 bytes"},
    {999, L"999 bytes"},
    {1000, L"1000 bytes"},
    {1023, L"1023 bytes"},
    {1024, L"1.00 KB"},
    {1025, L"1.00 KB"},
    {1034, L"1.00 KB"},
    {1035, L"1.01 KB"},
    {1340, L"1.30 KB"},
    {1536, L"1.50 KB"},
    {10239, L"9.99 KB"},
    {10240, L"10.0 KB"},
    {23506, L"22.9 KB"},
    {102399, L"99.9 KB"},
    {102400, L"100 KB"},
    {1023999, L"999 KB"},
    {1024000, L"0.97 MB"},
    {1047552, L"0.99 MB"},
    {1048575, L"0.99 MB"},
    {1048576, L"1.00 MB"},
    {2400016, L"2.28 MB"},
    {10485759, L"9.99 MB"},
    {10485760, L"10.0 MB"},
    {104857599, L"99.9 MB"},
    {104857600, L"100 MB"},
    {1048575999, L"999 MB"},
    {1048576000, L"0.97 GB"},
    {1073741823, L"0.99 GB"},
    {1073741824, L"1.00 GB"},
    {2400000000, L"2.23 GB"},
    {1099511627776, L"1.00 TB"},
    {1125899906842624, L"1.00 PB"},
    {1152921504606846976, L"1.00 EB"},
    {9223372036854775807, L"7.99 EB"},
    {-1, L"-1 bytes"},
    {-1024, L"-1024 bytes"},
    {-9223372036854775807 - 1, L"0 bytes"},
    // TB and PB counts are truncated to whole KB first: just above 9.99 they still show 9.98.
    {10984121161483, L"9.98 TB"},
    {11247740069357814, L"9.98 PB"},
    // The unit changes at 1000 of the smaller one, not at 1024.
    {1024000LL * 1024 * 1024 - 1, L"999 GB"},
    {1024000LL * 1024 * 1024, L"0.97 TB"},
};

std::wstring WithSeparator(std::wstring text, wchar_t separator)
{
    std::replace(text.begin(), text.end(), L'.', separator);
    return text;
}

TEST(ByteSizeText, MatchesEveryRowWithEitherSeparator)
{
    for (const SizeCase& row : kSizeCases) {
        EXPECT_EQ(platform::ByteSizeText(row.size, L"."), row.text) << row.size;
        EXPECT_EQ(platform::ByteSizeText(row.size, L","), WithSeparator(row.text, L',')) << row.size;
    }
}

TEST(StrFormatByteSizeW, InvariantLocaleUsesDecimalPoint)
{
    for (const char* name : {"C", "POSIX", "C.UTF-8", "xx_NOWHERE.UTF-8"}) {
        const ScopedEnvironment locale("LC_ALL", name);
        for (const SizeCase& row : kSizeCases) {
            wchar_t buffer[64];
            ASSERT_EQ(StrFormatByteSizeW(row.size, buffer, 64), buffer);
            EXPECT_STREQ(buffer, row.text) << name << " " << row.size;
        }
    }
}

TEST(StrFormatByteSizeW, GermanLocaleUsesDecimalComma)
{
    if (platform::NumericConventionsOf("de_DE.UTF-8").decimal != L",") {
        GTEST_SKIP() << "locale de_DE.UTF-8 is not installed";
    }
    const ScopedEnvironment all("LC_ALL", "de_DE.UTF-8");
    for (const SizeCase& row : kSizeCases) {
        wchar_t buffer[64];
        ASSERT_EQ(StrFormatByteSizeW(row.size, buffer, 64), buffer);
        EXPECT_EQ(std::wstring(buffer), WithSeparator(row.text, L',')) << row.size;
    }
}

TEST(StrFormatByteSizeW, SmallBuffersCutTheTextAndFailWhenTheNumberDoesNotFit)
{
    const ScopedEnvironment locale("LC_ALL", "C");
    struct Case {
        LONGLONG size;
        UINT cch;
        bool returnsBuffer;
        const wchar_t* text;
    };
    const Case cases[] = {
        {1340, 1, false, L""},         {1340, 4, false, L"1.3"},       {1340, 5, true, L"1.30"},
        {1340, 7, true, L"1.30 K"},    {1340, 8, true, L"1.30 KB"},    {532, 3, false, L"53"},
        {532, 6, true, L"532 b"},      {532, 9, true, L"532 byte"},    {532, 10, true, L"532 bytes"},
        {0, 7, true, L"0 byte"},       {0, 8, true, L"0 bytes"},
    };
    for (const Case& row : cases) {
        wchar_t buffer[64];
        std::fill(std::begin(buffer), std::end(buffer), L'#');
        const PWSTR result = StrFormatByteSizeW(row.size, buffer, row.cch);
        EXPECT_EQ(result, row.returnsBuffer ? buffer : nullptr) << row.size << " cch " << row.cch;
        EXPECT_STREQ(buffer, row.text) << row.size << " cch " << row.cch;
        EXPECT_EQ(buffer[row.cch], L'#') << "wrote past cch " << row.cch;
    }

    wchar_t untouched[4] = {L'#', L'#', L'#', L'#'};
    EXPECT_EQ(StrFormatByteSizeW(1340, untouched, 0), untouched);
    EXPECT_EQ(untouched[0], L'#');
    EXPECT_EQ(StrFormatByteSizeW(1340, nullptr, 64), nullptr);
}

} // namespace
