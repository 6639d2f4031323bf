// findle's command line: one search argument, -q, -?, and the unlisted -c concurrency limit.
#pragma once
#include "platform/platform.h"

#include "common/parse_outcome.h"

inline constexpr DWORD kDefaultConcurrencyLimit = 1024;
inline constexpr DWORD kMaximumConcurrencyLimit = 1024;

struct FindleOptions {
    bool quiet = false;
    DWORD concurrencyLimit = kDefaultConcurrencyLimit; // folders searched at the same time, 1..1024
    const wchar_t* searchArgument = nullptr;            // folder, pattern, or folder and pattern
};

// Reads the arguments (argv[0] is the program). Prints the usage when it is asked for (exit 0)
// or when the command line cannot be used (exit -1).
ParseOutcome ParseCommandLine(int argc, wchar_t** argv, FindleOptions& options);

// The number at the start of `text` as the runtime's wide atoi reads it: leading blanks, an
// optional sign, decimal digits up to the first other character; 0 without digits; values past
// the 32-bit range are held at its ends.
int ParseDecimal(const wchar_t* text);

void PrintUsage();
