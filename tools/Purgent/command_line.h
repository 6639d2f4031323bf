// purgent's command line: the switch table, the rules that combine switches, and the checks of
// the root path (the -a and -d grammars: time_arguments.h). Messages are printed as the checks
// run.
#pragma once
#include "platform/platform.h"

#include "common/path_names.h"
#include "common/parse_outcome.h"

struct CleanupRequest {
    PCWSTR rootPath = nullptr;    // an argument, or the path buffer (TEMP or current folder)
    PWSTR fileSpecs = nullptr;    // the -n argument, trailing semicolons cut; null when not given
    ULONGLONG minimumAge = 0;     // 100-ns intervals
    DWORD flags = 0;              // CLEANUP_ bits
    DWORD maximumDurationMs = 0xFFFFFFFF;
    bool quiet = false;
    bool dryRun = false;          // -l: list what would be removed, remove nothing
    bool useTemp = false;
};

// Parses the arguments (argv[0] is the program). `pathBuffer` (kPathBufferChars characters)
// receives the TEMP or current folder when one is used and must live as long as the request.
// The -n argument is edited in place.
ParseOutcome ParseCommandLine(int argc, wchar_t** argv, wchar_t* pathBuffer, CleanupRequest& request);

void PrintUsage();
