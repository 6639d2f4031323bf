// findle: lists the files of a folder tree whose names match a pattern, searching the folders
// in parallel on the thread pool, and reports counts, total size and speed.
//
// Modules: command_line.cpp and usage.cpp (switches, usage block), long_path.cpp (full paths in
// long form), search_target.cpp (folder and pattern from the search argument),
// directory_search.cpp (the parallel search), search_statistics.cpp (the closing figures),
// findle_run.cpp (announcement, activity, timing, exit code).
#include "tools/Findle/command_line.h"
#include "tools/Findle/findle_run.h"

int wmain(int argc, wchar_t** argv)
{
    FindleOptions options;
    const ParseOutcome outcome = ParseCommandLine(argc, argv, options);
    if (!outcome.run) {
        return outcome.exitCode;
    }
    return RunFindle(options);
}
