// Test providers and a trace session for the tests of one process. Every test uses a provider
// of its own, because a provider reads the session once, at its first use in the process.
#pragma once
#include "common/telemetry/activity_base.h"
#include "common/telemetry/trace_logging_provider.h"

#include <cstdlib>
#include <string>

#include "support/test_support.h"
#include "support/trace_decoder.h"

namespace telemetry_test {

inline constexpr ULONGLONG kKeyword = 0x400000000000;
inline constexpr ULONGLONG kPrivacyTags = 0x3000000;

// "Orvo.Test.<letter>": one provider per letter.
template <char Letter>
class TestProvider : public telemetry::TraceLoggingProvider {
public:
    static constexpr char kName[] = {'O', 'r', 'v', 'o', '.', 'T', 'e', 's', 't', '.', Letter, '\0'};

    class TestRun : public telemetry::ActivityBase<TestProvider, kKeyword, telemetry::kLevelVerbose, kPrivacyTags> {
    public:
        TestRun() : telemetry::ActivityBase<TestProvider, kKeyword, telemetry::kLevelVerbose, kPrivacyTags>("TestRun")
        {
        }
    };

    static const TestProvider& Instance() { return telemetry::ProviderInstance<TestProvider>(); }

private:
    constexpr TestProvider() : TraceLoggingProvider(kName) {}
    template <class Provider>
    friend Provider& telemetry::ProviderInstance();
};

// ORVO_TRACE naming `provider` with the extra settings (";level=4" ...), for the session's life.
class TraceSession {
public:
    explicit TraceSession(const std::string& provider, const std::string& settings = "")
        : file_(dir_.path() / "trace.etl")
    {
        const std::string value = "provider=" + provider + settings + ";file=" + file_.string();
        setenv("ORVO_TRACE", value.c_str(), 1);
    }
    ~TraceSession() { unsetenv("ORVO_TRACE"); }
    TraceSession(const TraceSession&) = delete;
    TraceSession& operator=(const TraceSession&) = delete;

    const std::filesystem::path& File() const { return file_; }
    std::vector<testing_support::TraceEvent> Events() const { return testing_support::ReadTrace(file_); }

private:
    testing_support::TempDir dir_;
    std::filesystem::path file_;
};

} // namespace telemetry_test
