// ParseCommandLine and the decimal conversion of the -c argument.
#include "tools/Findle/command_line.h"

#include <climits>

namespace {

bool IsBlank(wchar_t ch)
{
    return ch == L' ' || (ch >= L'\t' && ch <= L'\r');
}

bool IsDigit(wchar_t ch)
{
    return ch >= L'0' && ch <= L'9';
}

// "-q", "-?", "-c": a switch prefix, the letter (letter case counts), nothing after it.
bool IsSwitch(const wchar_t* argument, wchar_t letter)
{
    return platform::IsSwitchPrefix(argument[0]) && argument[1] == letter && argument[2] == L'\0';
}

ParseOutcome Usage(int exitCode)
{
    PrintUsage();
    return ParseOutcome{false, exitCode};
}

} // namespace

int ParseDecimal(const wchar_t* text)
{
    while (IsBlank(*text)) {
        ++text;
    }
    const bool negative = *text == L'-';
    if (*text == L'-' || *text == L'+') {
        ++text;
    }
    long long value = 0;
    for (; IsDigit(*text); ++text) {
        if (value <= static_cast<long long>(INT_MAX) + 1) {
            value = value * 10 + (*text - L'0');
        }
    }
    value = negative ? -value : value;
    return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : static_cast<int>(value);
}

ParseOutcome ParseCommandLine(int argc, wchar_t** argv, FindleOptions& options)
{
    if (argc < 2) {
        return Usage(-1);
    }
    for (int i = 1; i < argc; ++i) {
        const wchar_t* argument = argv[i];
        if (IsSwitch(argument, L'c')) {
            // The next argument is the limit, and is consumed even when it is empty.
            if (i + 1 < argc) {
                ++i;
                if (argv[i][0] != L'\0') {
                    options.concurrencyLimit = static_cast<DWORD>(ParseDecimal(argv[i]));
                }
            }
        } else if (platform::IsSwitchPrefix(argument[0]) && argument[1] == L'c' && IsDigit(argument[2])) {
            options.concurrencyLimit = static_cast<DWORD>(ParseDecimal(argument + 2));
        } else if (IsSwitch(argument, L'q')) {
            options.quiet = true;
        } else if (IsSwitch(argument, L'?')) {
            return Usage(0);
        } else if (options.searchArgument == nullptr) {
            options.searchArgument = argument;
        } else {
            return Usage(-1);
        }
    }
    if (options.concurrencyLimit < 1 || options.concurrencyLimit > kMaximumConcurrencyLimit ||
        options.searchArgument == nullptr) {
        return Usage(-1);
    }
    return ParseOutcome{true, 0};
}
