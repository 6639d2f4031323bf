// ParseTimeArgument, the two grammars, and ParseAge and ParseDuration with their messages.
#include "tools/Purgent/time_arguments.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cwchar>
#include <locale>
#include <string_view>

namespace {

constexpr TimeUnit kAgeUnits[] = {
    {L's', 10'000'000ULL},         {L'm', 600'000'000ULL},         {L'h', 36'000'000'000ULL},
    {L'd', 864'000'000'000ULL},    {L'w', 6'048'000'000'000ULL},   {L'M', 25'920'000'000'000ULL},
    {L'Y', 315'360'000'000'000ULL},
};
constexpr TimeUnit kDurationUnits[] = {{L's', 1'000ULL}, {L'm', 60'000ULL}, {L'h', 3'600'000ULL}};

// Digits as a regular expression's "\d" classifies them (the global locale's wide ctype), so that
// what counts as a digit is what it always counted as. One pass without recursion: an argument of
// any length is read in constant stack (a million leading zeros is still a valid age).
bool AllDigits(std::wstring_view text)
{
    const auto& ctype = std::use_facet<std::ctype<wchar_t>>(std::locale());
    for (const wchar_t c : text) {
        if (!ctype.is(std::ctype_base::digit, c)) {
            return false;
        }
    }
    return true;
}

ULONGLONG ScaleOf(const TimeGrammar& grammar, wchar_t letter)
{
    for (const TimeUnit& unit : grammar.units) {
        if (unit.letter == letter) {
            return unit.scale;
        }
    }
    return 0;
}

// Prints the message of a refused argument; true when it was accepted.
bool Accepted(TimeParse outcome, const wchar_t* text, const TimeGrammar& grammar)
{
    switch (outcome) {
    case TimeParse::kParsed:
        return true;
    case TimeParse::kUnrecognized:
        printf("Unrecognized argument ('%ls') to the -%c switch. Example: %s\n", text, grammar.switchLetter,
               grammar.example);
        break;
    case TimeParse::kNumberOutOfRange:
        printf("Scalar in -%c argument ('%ls') is out of range.\n", grammar.switchLetter, text);
        break;
    case TimeParse::kValueOutOfRange:
        printf("Arithmetic conversion error in -%c argument ('%ls').\n", grammar.switchLetter, text);
        break;
    }
    return false;
}

} // namespace

const TimeGrammar kAgeGrammar{'a', "-a 3d (for 3 days of age or older)", kAgeUnits, LLONG_MAX, ULLONG_MAX};
const TimeGrammar kDurationGrammar{'d', "-d 30s (for max. 30 seconds)", kDurationUnits, INT32_MAX, 0xFFFFFFFFULL};

TimeParse ParseTimeArgument(const wchar_t* text, const TimeGrammar& grammar, ULONGLONG& value)
{
    // One or more digits, then exactly one of the grammar's unit letters, and nothing else.
    const std::wstring_view whole(text);
    if (whole.size() < 2 || !AllDigits(whole.substr(0, whole.size() - 1))) {
        return TimeParse::kUnrecognized;
    }
    const ULONGLONG scale = ScaleOf(grammar, whole.back());
    if (scale == 0) {
        return TimeParse::kUnrecognized;
    }
    errno = 0;
    const long long number = wcstoll(text, nullptr, 10);
    if (errno == ERANGE || number > grammar.numberLimit) {
        return TimeParse::kNumberOutOfRange;
    }
    ULONGLONG product = 0;
    if (__builtin_mul_overflow(static_cast<ULONGLONG>(number), scale, &product) ||
        product > grammar.valueLimit) {
        return TimeParse::kValueOutOfRange;
    }
    value = product;
    return TimeParse::kParsed;
}

bool ParseAge(const wchar_t* text, ULONGLONG& age)
{
    return Accepted(ParseTimeArgument(text, kAgeGrammar, age), text, kAgeGrammar);
}

bool ParseDuration(const wchar_t* text, DWORD& milliseconds)
{
    ULONGLONG value = 0;
    if (!Accepted(ParseTimeArgument(text, kDurationGrammar, value), text, kDurationGrammar)) {
        return false;
    }
    milliseconds = static_cast<DWORD>(value);
    return true;
}
