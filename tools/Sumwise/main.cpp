// sumwise: prints a digest or checksum of every file named on its command line, several files at
// a time, one line per file, and a throughput line.
//
// Modules: wildcard_arguments.cpp (the start-up expansion where the shell does not expand),
// command_line.cpp, algorithms.cpp and usage.cpp (switches, algorithm table, usage block),
// hashing_driver.cpp (the run record, files on the thread pool, output lock, final wait), digest_file.cpp,
// digest_file_overlapped.cpp and file_lookup.cpp (the three ways of reading a file), digester.cpp (CryptoAPI hash
// objects and the checksum kernels of checksum/), digest_text.cpp, hashing_statistics.cpp.
#include <cstdlib>

#include "tools/Sumwise/command_line.h"
#include "tools/Sumwise/hashing_driver.h"
#include "tools/Sumwise/wildcard_arguments.h"

namespace {

// Everything from the command line on; every way out ends the process with its exit code.
[[noreturn]] void RunSumwise(int argc, wchar_t** argv)
{
    SumwiseOptions options;
    const ParseOutcome outcome = ParseCommandLine(argc, argv, options);
    if (!outcome.run) {
        std::exit(outcome.exitCode);
    }
    std::exit(RunDriver(options));
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    // The expanded arguments must outlive every work item, so they live until the process ends.
    static ExpandedArguments expanded;
    if (platform::kProgramExpandsWildcards) {
        ExpandWildcardArguments(argc, argv, expanded);
        RunSumwise(expanded.count(), expanded.pointers.data());
    }
    RunSumwise(argc, argv);
}
