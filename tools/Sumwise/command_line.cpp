// ParseCommandLine.
#include "tools/Sumwise/command_line.h"

#include <cwchar>

namespace {

constexpr size_t kLongestSwitch = 7;

ParseOutcome Usage(int exitCode)
{
    PrintUsage();
    return ParseOutcome{false, exitCode};
}

bool IsNamed(const wchar_t* argument, const wchar_t* name)
{
    return lstrcmpiW(argument + 1, name) == 0;
}

} // namespace

bool IsSwitchShaped(const wchar_t* argument)
{
    const size_t length = std::wcslen(argument);
    return length >= 1 && length <= kLongestSwitch && platform::IsSwitchPrefix(argument[0]);
}

ParseOutcome ParseCommandLine(int argc, wchar_t** argv, SumwiseOptions& options)
{
    if (argc < 2) {
        return Usage(1);
    }
    if (argc == 2) {
        if (IsSwitchShaped(argv[1])) {
            return Usage(IsNamed(argv[1], L"?") ? 0 : 1);
        }
        options.filespecs = argv + 1;
        options.filespecCount = 1;
        return ParseOutcome{true, 0};
    }
    int next = 1;
    // At least two arguments are unexamined on every pass, so the last one is always a filespec.
    for (; argc - next >= 2 && IsSwitchShaped(argv[next]); ++next) {
        const wchar_t* argument = argv[next];
        if (const Algorithm* algorithm = FindAlgorithm(argument + 1)) {
            options.selector = algorithm->selector;
            options.displayName = algorithm->displayName;
            options.algorithm = algorithm;
        } else if (IsNamed(argument, L"q")) {
            options.statistics = false;
        } else if (IsNamed(argument, L"c")) {
            options.check = true;
        } else if (IsNamed(argument, L"?")) {
            return Usage(0);
        } else {
            return Usage(1);
        }
    }
    options.filespecs = argv + next;
    options.filespecCount = argc - next;
    return ParseOutcome{true, 0};
}
