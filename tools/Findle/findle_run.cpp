// RunFindle.
#include "tools/Findle/findle_run.h"

#include <cwchar>

#include "common/console.h"
#include "common/elapsed_time_line.h"
#include "tools/Findle/directory_search.h"
#include "tools/Findle/findle_telemetry.h"
#include "tools/Findle/long_path.h"
#include "tools/Findle/search_statistics.h"
#include "tools/Findle/search_target.h"

int RunFindle(const FindleOptions& options)
{
    PathBuffer searchPath;
    if (FAILED(ResolveFullPath(options.searchArgument, searchPath))) {
        PrintUsage();
        return -1;
    }
    SearchTarget target;
    if (const HRESULT hr = LocateSearchTarget(searchPath.get(), target); FAILED(hr)) {
        printf("Out of memory? 0x%08lx\n", static_cast<unsigned long>(static_cast<ULONG>(hr)));
        return hr;
    }
    if (!options.quiet) {
        const wchar_t* const shown = target.folder + std::wcslen(platform::kLongPathPrefix);
        const size_t length = std::wcslen(shown);
        const bool endsWithSeparator = length > 0 && shown[length - 1] == platform::kPathSeparator;
        printf("Searching %ls%ls%ls\n", shown, endsWithSeparator ? L"" : kSeparatorText, target.pattern);
    }

    FindleTelemetryProvider::Findle activity;
    activity.Start();
    SearchResults results;
    const Stopwatch stopwatch;
    const HRESULT hr = SearchTree(target.folder, target.pattern, options.concurrencyLimit, results);
    const ElapsedFigures elapsed = ComputeElapsed(stopwatch.ElapsedTicks(), stopwatch.frequency(), results);
    activity.Stop(hr);
    target = SearchTarget{};
    searchPath.reset();

    if (!options.quiet) {
        PrintSearchStatistics(results, elapsed);
    }
    return ExitCodeAfterOutput(hr == S_OK || hr == E_ACCESSDENIED ? 0 : hr, false);
}
