// Bounded formatting and copying: exact fit, one over, capacity limits, chained copies.
#include <gtest/gtest.h>

#include <string>

#include "common/buffer_format.h"
#include "common/hresults.h"

namespace {

TEST(FormatToBuffer, TextOfCapacityMinusOneFitsAndOneMoreIsCut)
{
    wchar_t buffer[64];
    const std::wstring fits(63, L'a');
    EXPECT_EQ(FormatToBuffer(buffer, 64, L"%ls", fits.c_str()), S_OK);
    EXPECT_EQ(std::wstring(buffer), fits);

    const std::wstring over(64, L'b');
    EXPECT_EQ(FormatToBuffer(buffer, 64, L"%ls", over.c_str()), kHrInsufficientBuffer);
    EXPECT_EQ(std::wstring(buffer), std::wstring(63, L'b'));

    const std::wstring farOver(5000, L'c');
    EXPECT_EQ(FormatToBuffer(buffer, 64, L"%ls", farOver.c_str()), kHrInsufficientBuffer);
    EXPECT_EQ(std::wstring(buffer), std::wstring(63, L'c'));
}

TEST(FormatToBuffer, NumbersUseTheC99Conversions)
{
    wchar_t buffer[64];
    EXPECT_EQ(FormatToBuffer(buffer, 64, L"%llu", 18446744073709551615ULL), S_OK);
    EXPECT_STREQ(buffer, L"18446744073709551615");
    EXPECT_EQ(FormatToBuffer(buffer, 64, L"%lld|%u|%d", -9223372036854775807LL - 1, 4294967295U, -1), S_OK);
    EXPECT_STREQ(buffer, L"-9223372036854775808|4294967295|-1");
    EXPECT_EQ(FormatToBuffer(buffer, 6, L"%d", 12345), S_OK);
    EXPECT_EQ(FormatToBuffer(buffer, 5, L"%d", 12345), kHrInsufficientBuffer);
    EXPECT_STREQ(buffer, L"1234");
}

TEST(FormatToBuffer, CapacityLimits)
{
    wchar_t buffer[4] = {L'#', L'#', L'#', L'\0'};
    EXPECT_EQ(FormatToBuffer(buffer, 0, L"%d", 1), E_INVALIDARG);
    EXPECT_EQ(buffer[0], L'#');
    EXPECT_EQ(FormatToBuffer(buffer, size_t{0x80000000}, L"%d", 1), E_INVALIDARG);
    EXPECT_EQ(buffer[0], L'\0');
    EXPECT_EQ(FormatToBuffer(buffer, 1, L"%d", 7), kHrInsufficientBuffer);
    EXPECT_EQ(buffer[0], L'\0');
}

TEST(CopyToBuffer, ReportsEndAndRoomAndCutsWhatDoesNotFit)
{
    wchar_t buffer[8];
    wchar_t* end = nullptr;
    size_t remaining = 0;
    EXPECT_EQ(CopyToBuffer(buffer, 8, L"abc", &end, &remaining), S_OK);
    EXPECT_EQ(end, buffer + 3);
    EXPECT_EQ(remaining, 5u);
    // A chained copy continues at the end and is cut at the buffer's last place.
    EXPECT_EQ(CopyToBuffer(end, remaining, L"defghij", &end, &remaining), kHrInsufficientBuffer);
    EXPECT_STREQ(buffer, L"abcdefg");
    EXPECT_EQ(end, buffer + 7);
    EXPECT_EQ(remaining, 1u);

    EXPECT_EQ(CopyToBuffer(buffer, 1, L"", &end, &remaining), S_OK);
    EXPECT_EQ(remaining, 1u);
    EXPECT_EQ(CopyToBuffer(buffer, 1, L"x"), kHrInsufficientBuffer);
    EXPECT_STREQ(buffer, L"");
    EXPECT_EQ(CopyToBuffer(buffer, 0, L"x"), E_INVALIDARG);
}

} // namespace
