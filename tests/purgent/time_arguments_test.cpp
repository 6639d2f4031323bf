// The one grammar of -a and -d: what each switch's record accepts, where each limit bites, and
// that a refused argument leaves the value as it was.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "tools/Purgent/time_arguments.h"

namespace {

TEST(TimeArguments, EachGrammarItsUnitsAndLimits)
{
    const struct {
        const TimeGrammar& grammar;
        const wchar_t* text;
        TimeParse outcome;
        ULONGLONG value;
    } cases[] = {
        {kAgeGrammar, L"2M", TimeParse::kParsed, 2 * 25'920'000'000'000ULL},
        {kAgeGrammar, L"9223372036854775807s", TimeParse::kValueOutOfRange, 0},
        {kAgeGrammar, L"9223372036854775808s", TimeParse::kNumberOutOfRange, 0},
        {kAgeGrammar, L"1844674407370s", TimeParse::kParsed, 18'446'744'073'700'000'000ULL},
        {kAgeGrammar, L"3 d", TimeParse::kUnrecognized, 0},
        {kDurationGrammar, L"3d", TimeParse::kUnrecognized, 0},
        {kDurationGrammar, L"3M", TimeParse::kUnrecognized, 0},
        {kDurationGrammar, L"2147483647s", TimeParse::kValueOutOfRange, 0},
        {kDurationGrammar, L"2147483648m", TimeParse::kNumberOutOfRange, 0},
        {kDurationGrammar, L"4294967s", TimeParse::kParsed, 4'294'967'000ULL},
        {kDurationGrammar, L"0h", TimeParse::kParsed, 0},
    };
    for (const auto& c : cases) {
        ULONGLONG value = 7;
        EXPECT_EQ(ParseTimeArgument(c.text, c.grammar, value), c.outcome) << c.text;
        EXPECT_EQ(value, c.outcome == TimeParse::kParsed ? c.value : 7) << c.text;
    }
}

// Arguments far longer than any real one: read without running out of stack, with the same
// outcomes as their short forms.
TEST(TimeArguments, LongArgumentsKeepTheirMeaning)
{
    for (const size_t length : {40'000u, 1'000'000u}) {
        const std::wstring zeros(length, L'0');
        ULONGLONG value = 7;
        EXPECT_EQ(ParseTimeArgument((zeros + L"1d").c_str(), kAgeGrammar, value), TimeParse::kParsed);
        EXPECT_EQ(value, 864'000'000'000ULL);
        EXPECT_EQ(ParseTimeArgument((zeros + L"30s").c_str(), kDurationGrammar, value), TimeParse::kParsed);
        EXPECT_EQ(value, 30'000ULL);
        EXPECT_EQ(ParseTimeArgument((zeros + L"1x").c_str(), kAgeGrammar, value), TimeParse::kUnrecognized);
        EXPECT_EQ(ParseTimeArgument((zeros + L"1 d").c_str(), kAgeGrammar, value), TimeParse::kUnrecognized);
        EXPECT_EQ(ParseTimeArgument((L"1" + zeros + L"d").c_str(), kAgeGrammar, value), TimeParse::kNumberOutOfRange);
        EXPECT_EQ(ParseTimeArgument((L"1" + zeros + L"s").c_str(), kDurationGrammar, value),
                  TimeParse::kNumberOutOfRange);
        EXPECT_EQ(value, 30'000ULL);
    }
}

} // namespace
