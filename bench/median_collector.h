// The reporter the benchmarks share: prints as usual and keeps every benchmark's median.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

// Collects the median CPU time of every benchmark by name while printing as usual. CPU time
// rather than wall time, because the benchmark machines are shared and a descheduled thread
// would count against whichever implementation ran at that moment.
class MedianCollector : public benchmark::ConsoleReporter {
public:
    // Plain text: the summary lines that follow are meant for scripts.
    MedianCollector() : ConsoleReporter(OO_None) {}

    void ReportRuns(const std::vector<Run>& reports) override
    {
        ConsoleReporter::ReportRuns(reports);
        for (const Run& run : reports) {
            if (run.aggregate_name == "median") {
                medians[run.run_name.function_name] = run.GetAdjustedCPUTime();
            }
        }
    }
    std::map<std::string, double> medians;
};
