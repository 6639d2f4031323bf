// purgent's command line: the switch table, the age and duration grammars, the rules that
// combine switches, and the checks of the root path. Messages are printed as the checks run.
#pragma once
#include "platform/platform.h"

inline constexpr size_t kPathBufferChars = 32768;

struct CleanupRequest {
    PCWSTR rootPath = nullptr;    // an argument, or the path buffer (TEMP or current folder)
    PWSTR fileSpecs = nullptr;    // the -n argument, trailing semicolons cut; null when not given
    ULONGLONG minimumAge = 0;     // 100-ns intervals
    DWORD flags = 0;              // CLEANUP_ bits
    DWORD maximumDurationMs = 0xFFFFFFFF;
    bool quiet = false;
    bool useTemp = false;
};

struct ParseOutcome {
    bool run = false;   // true: hand the request to the run; false: end with exitCode
    int exitCode = 0;
};

// Parses the arguments (argv[0] is the program). `pathBuffer` (kPathBufferChars characters)
// receives the TEMP or current folder when one is used and must live as long as the request.
// The -n argument is edited in place.
ParseOutcome ParseCommandLine(int argc, wchar_t** argv, wchar_t* pathBuffer, CleanupRequest& request);

// The age grammar of -a ("3d", "2M"): 100-ns intervals. The duration grammar of -d ("30s"): ms.
// Both print their message and return false when the argument is refused.
bool ParseAge(const wchar_t* text, ULONGLONG& age);
bool ParseDuration(const wchar_t* text, DWORD& milliseconds);

void PrintUsage();
