// Running a program of the build with the fault injector (fault_injection.c) preloaded, so that
// one chosen call fails.
#pragma once

#include <functional>

#include "support/test_support.h"

namespace testing_support {

struct FaultRun {
    ProgramResult result;
    long calls = 0;        // calls of the chosen function from main on
    bool injected = false; // the chosen call was reached and made to fail
};

// Why this build has no fault injector (Windows; a sanitizer, whose runtime must be loaded
// first); empty when it has one. Cases skip with this reason.
std::string FaultInjectionUnavailable();

// In a test case: skips it, with the reason, where the build has no fault injector.
#define SKIP_WITHOUT_INJECTOR()                                                                              \
    if (const std::string reason = ::testing_support::FaultInjectionUnavailable(); !reason.empty())           \
    GTEST_SKIP() << reason

// Runs a program of the build with ORVO_FAIL set to `failure` ("malloc:17", "unlinkat:1:EIO",
// "malloc:0" to count only).
FaultRun RunWithFault(const std::string& name, const std::vector<std::wstring>& arguments, const std::string& failure);

// Runs a program once per allocation it makes from main on, the n-th allocation failing in the
// n-th run, and hands each run to `check` inside a trace that names the allocation and shows the
// output. `prepare`, when given, makes the fixture again before each run.
void SweepAllocationFailures(const std::string& name, const std::vector<std::wstring>& arguments,
                             const std::function<void(const FaultRun&)>& check, const std::function<void()>& prepare = {});

// The number of files below `root`, folders not counted.
size_t CountFiles(const std::filesystem::path& root);

} // namespace testing_support
