// PrintLines: usage blocks are fixed literal lines, one printf call per line and no arguments.
// ExitCodeAfterOutput: the flush and the error state of the C runtime's standard output.
#include "common/console.h"

void PrintLines(std::initializer_list<const char*> lines)
{
    for (const char* line : lines) {
        printf("%s", line);
    }
}

int ExitCodeAfterOutput(int exitCode, bool linesLost)
{
    const bool failed = std::fflush(stdout) != 0 || std::ferror(stdout) != 0 || linesLost;
    if (!failed || exitCode != 0) {
        return exitCode;
    }
    std::fputs("The output could not be written in full.\n", stderr);
    return kExitOutputLost;
}
