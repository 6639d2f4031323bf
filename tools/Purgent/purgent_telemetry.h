// purgent's telemetry: the provider "Brel.Orvo.Utilities.Purgent", its run activity and the
// statistics event of one cleanup.
#pragma once
#include "common/telemetry/activity_base.h"
#include "common/telemetry/trace_logging_provider.h"

class PurgentTelemetryProvider : public telemetry::TraceLoggingProvider {
public:
    static constexpr ULONGLONG kActivityKeyword = 0x400000000000;
    static constexpr ULONGLONG kActivityPrivacyTags = 0x3000000;

    class OrvoFilesCleanup : public telemetry::ActivityBase<PurgentTelemetryProvider, kActivityKeyword,
                                                            telemetry::kLevelVerbose, kActivityPrivacyTags> {
    public:
        OrvoFilesCleanup() : ActivityBase("OrvoFilesCleanup") {}
    };

    // "FileCleanupStats": the engine's six counters, outside any activity.
    static void FileCleanupStats(DWORD filesConsidered, DWORD filesRemoved, ULONGLONG filesRemovedSizeBytes,
                                 DWORD foldersVisited, DWORD foldersRemoved, DWORD elapsedTimeMs);

private:
    constexpr PurgentTelemetryProvider() : TraceLoggingProvider("Brel.Orvo.Utilities.Purgent") {}
    template <class Provider>
    friend Provider& telemetry::ProviderInstance();
};
