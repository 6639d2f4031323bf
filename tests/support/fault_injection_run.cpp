// RunWithFault: the injector's variables set around one run of a program, its report read back;
// the sweep of a program's allocation failures over it.
#include "support/fault_injection.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/scoped_environment.h"

namespace testing_support {

std::string FaultInjectionUnavailable()
{
#if defined(ORVO_FAULT_INJECTION)
    return {};
#else
    return "no fault injector in this build (Windows, or a sanitizer, whose runtime must be loaded first)";
#endif
}

FaultRun RunWithFault(const std::string& name, const std::vector<std::wstring>& arguments, const std::string& failure)
{
    FaultRun run;
#if defined(ORVO_FAULT_INJECTION)
    const TempDir reportFolder;
    const std::string report = (reportFolder.path() / "report").string();
    const ScopedEnvironment preload("LD_PRELOAD", ORVO_FAULT_INJECTION);
    const ScopedEnvironment fail("ORVO_FAIL", failure.c_str());
    const ScopedEnvironment reportTo("ORVO_FAIL_REPORT", report.c_str());
    run.result = RunProgram(name, arguments);
    std::ifstream in(report);
    int injected = 0;
    in >> run.calls >> injected;
    run.injected = injected != 0;
#else
    (void)name, (void)arguments, (void)failure;
#endif
    return run;
}

void SweepAllocationFailures(const std::string& name, const std::vector<std::wstring>& arguments,
                             const std::function<void(const FaultRun&)>& check, const std::function<void()>& prepare)
{
    if (prepare) {
        prepare();
    }
    const long allocations = RunWithFault(name, arguments, "malloc:0").calls;
    ASSERT_GT(allocations, 10);
    for (long n = 1; n <= allocations; ++n) {
        if (prepare) {
            prepare();
        }
        const FaultRun run = RunWithFault(name, arguments, "malloc:" + std::to_string(n));
        SCOPED_TRACE("allocation " + std::to_string(n) + ":\n" + run.result.output);
        check(run);
    }
}

size_t CountFiles(const std::filesystem::path& root)
{
    size_t files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        files += entry.is_regular_file() ? 1 : 0;
    }
    return files;
}

} // namespace testing_support
