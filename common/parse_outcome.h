// What reading a tool's command line decided: run, or end at once with an exit code (the usage
// was asked for, or an argument was refused and its message printed).
#pragma once

struct ParseOutcome {
    bool run = false; // true: go on with what was read; false: end with exitCode
    int exitCode = 0;
};
