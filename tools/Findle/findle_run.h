// findle's run: folder and pattern, announcement, the search under the Findle activity, the
// statistics and the exit code.
#pragma once
#include "tools/Findle/command_line.h"

// Returns the process exit code: 0 when the search succeeded or met only access denials, -1 when
// the search argument cannot be used, else the search's first failure.
int RunFindle(const FindleOptions& options);
