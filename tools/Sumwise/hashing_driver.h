// The parallel hashing driver: the filespecs hashed several at a time on the thread pool, one
// line per file as it finishes, and the statistics line.
#pragma once
#include "platform/platform.h"

#include "tools/Sumwise/command_line.h"

// Hashes every filespec (directories are skipped silently), at most min(processors, 32) files at
// a time, the last one on the calling thread; releases the CryptoAPI provider after the last
// file; prints the statistics line when a file was hashed and statistics are wanted. Returns the
// process exit code, 0 whatever failed for single files.
int RunDriver(const SumwiseOptions& options);
// With -c: the files are those the lists name, each line says OK, FAILED or its error, and the
// run ends with kExitCheckFailed unless every listed file matched.
inline constexpr int kExitCheckFailed = 3;

// One file: its digest line or its error line, under the output lock; then its slot is given
// back and it stops counting as outstanding. `context` points at the file's path among those
// hashed (the filespecs or the lists' paths). Returns 0.
DWORD WINAPI DigestWorkItem(LPVOID context);
