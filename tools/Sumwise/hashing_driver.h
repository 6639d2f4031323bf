// The parallel hashing driver: the filespecs hashed several at a time on the thread pool, one
// line per file as it finishes, and the statistics line.
#pragma once
#include "platform/platform.h"

#include "tools/Sumwise/command_line.h"

// Acquires the CryptoAPI provider and the run's handles (none: "Cannot initialize cryptographic
// context." and kExitSetUpFailed); hashes every filespec (directories are skipped silently), at
// most min(processors, 32) files at a time, the last one on the calling thread; prints the
// statistics line when a file was hashed and statistics are wanted. Returns the process exit
// code, 0 whatever failed for single files.
int RunDriver(const SumwiseOptions& options);
inline constexpr int kExitSetUpFailed = 2;
// With -c: the files are those the lists name, each line says OK, FAILED or its error, and the
// run ends with kExitCheckFailed unless every listed file matched.
inline constexpr int kExitCheckFailed = 3;
