// findle's telemetry: the provider "Brel.Orvo.Utilities.Findle" and its run activity (the
// provider and activity machinery is common/telemetry/).
//
//   FindleTelemetryProvider::Findle activity;
//   activity.Start();
//   ...
//   activity.Stop(hr);   // the run's first search error, or S_OK
#pragma once
#include "common/telemetry/activity_base.h"
#include "common/telemetry/trace_logging_provider.h"

class FindleTelemetryProvider : public telemetry::TraceLoggingProvider {
public:
    static constexpr ULONGLONG kActivityKeyword = 0x200000000000;
    static constexpr ULONGLONG kActivityPrivacyTags = 0x3000000;

    class Findle : public telemetry::ActivityBase<FindleTelemetryProvider, kActivityKeyword, telemetry::kLevelVerbose,
                                                  kActivityPrivacyTags> {
    public:
        Findle() : ActivityBase("Findle") {}
    };

private:
    constexpr FindleTelemetryProvider() : TraceLoggingProvider("Brel.Orvo.Utilities.Findle") {}
    template <class Provider>
    friend Provider& telemetry::ProviderInstance();
};
