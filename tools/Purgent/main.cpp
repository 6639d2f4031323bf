// purgent: deletes the files of a folder tree that match name patterns and a minimum age, and
// the folders the switches allow, through the cleanup engine.
//
// Modules: command_line.cpp (switches and path rules), time_arguments.cpp (the -a and -d
// grammars), usage.cpp (banner and usage block), cleanup_run.cpp (the engine call and the report).
#include "tools/Purgent/cleanup_run.h"
#include "tools/Purgent/command_line.h"

namespace {
// The root path may be the TEMP or current folder, read into this buffer; the engine reads it
// during the whole call.
wchar_t g_pathBuffer[kPathBufferChars];
} // namespace

int wmain(int argc, wchar_t** argv)
{
    CleanupRequest request;
    const ParseOutcome outcome = ParseCommandLine(argc, argv, g_pathBuffer, request);
    if (!outcome.run) {
        return outcome.exitCode;
    }
    return RunCleanup(request);
}
