// PrintLines: usage blocks are fixed literal lines, one printf call per line and no arguments.
#include "common/console.h"

void PrintLines(std::initializer_list<const char*> lines)
{
    for (const char* line : lines) {
        printf("%s", line);
    }
}
