// purgent's banner and usage block.
#include "tools/Purgent/command_line.h"

#include "common/console.h"

void PrintUsage()
{
    // The examples name the platform's own root folder.
    const bool windows = platform::kIsWindows;
    PrintLines({
        "Purgent - Scalable File Deletion Utility - v1.00\n",
        kNoticeLine,
        "Options:\n\n",
        " -s\tRecurse subfolders\n",
        " -o\tDelete read-only files\n",
        " -e\tRemove subfolders left empty (or use -u)\n",
        " -i\tIgnore file deletion errors\n",
        " -j\tIgnore folder access errors\n",
        " -x\tAll of the above\n",
        " -r\tRemove root folder (if empty)\n",
        " -u\tRemove empty subfolders (or use -e)\n",
        " -z\tTry deleting everything\n",
        " -t\tUse the current user's TEMP folder (ignores -r if set)\n",
        " -a\tMinimum file age in [h|m|s|d|w|M|Y] (e.g. -a 3d) w=7d, M=30d, Y=365d\n",
        " -b\tAlso age folders (requires either -r, -e, or -u)\n",
        " -n\tName(s)/filespec(s) (e.g. -n *.dmp;*.mdmp;*.log)\n",
        " -d\tMaximum duration of the cleanup operation in [h|m|s] (e.g. -d 30s)\n",
        " -l\tList what would be removed; remove nothing\n",
        "\nMisc:\n\n",
        " -q\tDo not print out statistics at the end\n",
        " -?\tDisplay this message\n",
        "\nExamples:\n\n",
        " purgent -x -t -a 30d\t\t\tDelete all files > 30 days and folders left empty in the user's TEMP folder\n",
        " purgent -x -t -n *.dmp;*.log -a 3d\tDelete *.dmp and *.log > 3 days and folders left empty in TEMP folder\n",
        " purgent -t -n *.dmp\t\t\tDelete *.dmp from the user's TEMP folder\n",
        windows ? " purgent C:\\ -s -n *.log -i -j -a 3d\tDelete *.log > 3 days and writable from C: drive, ignore errors\n"
                : " purgent / -s -n *.log -i -j -a 3d\tDelete *.log > 3 days and writable from the root folder, ignore errors\n",
        windows ? " purgent C:\\LogFiles -s -o -i -j -a 1w\tDelete *.* > 1 week incl. R/O recursively and ignore errors\n"
                : " purgent /LogFiles -s -o -i -j -a 1w\tDelete *.* > 1 week incl. R/O recursively and ignore errors\n",
    });
}
