// findle's banner and usage block. The -c switch is deliberately left out.
#include "tools/Findle/command_line.h"

#include "common/console.h"

void PrintUsage()
{
    // The second example names a folder of the platform the program runs on.
    PrintLines({
        "Findle - Scalable File Finder Utility - v1.00\n",
        kNoticeLine,
        "Options:\n\n",
        " -q\tDo not print out statistics at the end\n",
        " -?\tDisplay this message\n",
        "\r\nExamples:\n\n",
        " findle *.log\n",
        platform::kIsWindows ? " findle C:\\Windows\\Temp\\*.log\n" : " findle /var/tmp/*.log\n",
    });
}
