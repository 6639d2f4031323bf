// Running a program of the build with the fault injector (fault_injection.c) preloaded, so that
// one chosen call fails.
#pragma once

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

// The number of files below `root`, folders not counted.
size_t CountFiles(const std::filesystem::path& root);

} // namespace testing_support
