// sumwise's command line: the algorithm switches, -q, -c, -?, and the filespecs that follow them.
#pragma once
#include "platform/platform.h"

#include "tools/Sumwise/algorithms.h"
#include "common/parse_outcome.h"

struct SumwiseOptions {
    DWORD selector = kDefaultSelector;
    const wchar_t* displayName = kDefaultDisplayName;
    bool statistics = true;     // cleared by -q
    bool check = false;         // -c: the filespecs are lists of digests to check
    const Algorithm* algorithm = nullptr; // the algorithm switch's, null when none was given
    wchar_t** filespecs = nullptr; // the arguments after the switches, at least one
    int filespecCount = 0;
};

// Reads the arguments (argv[0] is the program; argv holds argc arguments after any start-up
// expansion). Prints the usage when it is asked for (exit 0) or when the command line cannot be
// used (exit 1). The switch scan never reads the last argument as a switch, and stops at the
// first argument that is not switch-shaped.
ParseOutcome ParseCommandLine(int argc, wchar_t** argv, SumwiseOptions& options);

// True for an argument of 1 to 7 characters that starts with a switch prefix.
bool IsSwitchShaped(const wchar_t* argument);

void PrintUsage();
