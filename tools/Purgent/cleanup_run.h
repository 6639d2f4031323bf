// purgent's run: the announcement, the engine call, the error line, the statistics block and
// the exit code.
#pragma once
#include "api-orvo-files/orvo_files.h"
#include "tools/Purgent/command_line.h"

// Runs the request and returns the process exit code: 0, or -1 when the engine failed.
int RunCleanup(const CleanupRequest& request);

// Prints the statistics block of one run, or of a dry run in its own words.
void PrintCleanupStatistics(const CleanupStatistics& statistics, bool dryRun);
