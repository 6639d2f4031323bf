// StrFormatByteSizeW: every row of the system's observed table under both decimal separators,
// and the cut text of small buffers.
#include "platform/platform.h"
#include "support/scoped_environment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

using testing_support::ScopedEnvironment;

const struct {
    LONGLONG size;
    const wchar_t* text; // with the decimal point
} kSizes[] = {
    {0, L"0 bytes"}, {1, L"1 bytes"}, {532, L"532 bytes"}, {999, L"999 bytes"}, {1000, L"1000 bytes"},
    {1023, L"1023 bytes"}, {1024, L"1.00 KB"}, {1025, L"1.00 KB"}, {1034, L"1.00 KB"}, {1035, L"1.01 KB"},
    {1340, L"1.30 KB"}, {1536, L"1.50 KB"}, {10239, L"9.99 KB"}, {10240, L"10.0 KB"}, {23506, L"22.9 KB"},
    {102399, L"99.9 KB"}, {102400, L"100 KB"}, {1023999, L"999 KB"}, {1024000, L"0.97 MB"},
    {1047552, L"0.99 MB"}, {1048575, L"0.99 MB"}, {1048576, L"1.00 MB"}, {2400016, L"2.28 MB"},
    {10485759, L"9.99 MB"}, {10485760, L"10.0 MB"}, {104857599, L"99.9 MB"}, {104857600, L"100 MB"},
    {1048575999, L"999 MB"}, {1048576000, L"0.97 GB"}, {1073741823, L"0.99 GB"}, {1073741824, L"1.00 GB"},
    {2400000000, L"2.23 GB"}, {1073741823999, L"999 GB"}, {1073741824000, L"0.97 TB"},
    {1099511627776, L"1.00 TB"}, {1125899906842624, L"1.00 PB"}, {1152921504606846976, L"1.00 EB"},
    {9223372036854775807, L"7.99 EB"}, {-1, L"-1 bytes"}, {-1024, L"-1024 bytes"},
    {-9223372036854775807 - 1, L"0 bytes"},
    // From TB on the count is cut to whole KB first: just above 9.99 units it still shows 9.98.
    {10984121161483, L"9.98 TB"}, {11247740069357814, L"9.98 PB"},
};

std::wstring WithComma(std::wstring text)
{
    std::replace(text.begin(), text.end(), L'.', L',');
    return text;
}

TEST(ByteSizeText, EveryRowWithEitherSeparator)
{
    for (const auto& row : kSizes) {
        EXPECT_EQ(platform::ByteSizeText(row.size, L"."), row.text) << row.size;
        EXPECT_EQ(platform::ByteSizeText(row.size, L","), WithComma(row.text)) << row.size;
    }
}

// The whole call under a user locale: the decimal separator comes from the environment.
void ExpectUserLocaleTexts(const char* locale, bool comma)
{
    const ScopedEnvironment all("LC_ALL", locale);
    for (const auto& row : kSizes) {
        wchar_t buffer[64];
        ASSERT_EQ(StrFormatByteSizeW(row.size, buffer, 64), buffer);
        EXPECT_EQ(buffer, comma ? WithComma(row.text) : row.text) << locale << " " << row.size;
    }
}

TEST(StrFormatByteSizeW, InvariantAndUnknownLocalesUseThePoint)
{
    for (const char* locale : {"C", "POSIX", "C.UTF-8", "xx_NOWHERE.UTF-8"}) {
        ExpectUserLocaleTexts(locale, false);
    }
}

TEST(StrFormatByteSizeW, GermanLocaleUsesTheComma)
{
    if (platform::NumericConventionsOf("de_DE.UTF-8").decimal != L",") {
        GTEST_SKIP() << "locale de_DE.UTF-8 is not installed";
    }
    ExpectUserLocaleTexts("de_DE.UTF-8", true);
}

TEST(StrFormatByteSizeW, SmallBuffersCutTheTextAndFailWhenTheNumberDoesNotFit)
{
    const ScopedEnvironment locale("LC_ALL", "C");
    const struct {
        LONGLONG size;
        UINT cch;
        bool returnsBuffer;
        const wchar_t* text;
    } cases[] = {
        {1340, 1, false, L""},      {1340, 4, false, L"1.3"},    {1340, 5, true, L"1.30"},
        {1340, 7, true, L"1.30 K"}, {1340, 8, true, L"1.30 KB"}, {532, 3, false, L"53"},
        {532, 6, true, L"532 b"},   {532, 10, true, L"532 bytes"}, {0, 7, true, L"0 byte"},
    };
    for (const auto& row : cases) {
        wchar_t buffer[64];
        std::fill(std::begin(buffer), std::end(buffer), L'#');
        EXPECT_EQ(StrFormatByteSizeW(row.size, buffer, row.cch), row.returnsBuffer ? buffer : nullptr) << row.cch;
        EXPECT_STREQ(buffer, row.text) << row.size << " cch " << row.cch;
        EXPECT_EQ(buffer[row.cch], L'#') << "wrote past cch " << row.cch;
    }
    wchar_t untouched[1] = {L'#'};
    EXPECT_EQ(StrFormatByteSizeW(1340, untouched, 0), untouched);
    EXPECT_EQ(untouched[0], L'#');
    EXPECT_EQ(StrFormatByteSizeW(1340, nullptr, 64), nullptr);
}

} // namespace
