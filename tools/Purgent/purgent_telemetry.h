// purgent's telemetry: the provider "Brel.Orvo.Utilities.Purgent", its run activity and the
// statistics event of one cleanup. The provider and activity machinery is common/telemetry/.
#pragma once
#include "api-orvo-files/orvo_files.h"
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

    // "FileCleanupStats": the engine's six counters, outside any activity. The fields keep the
    // order FilesConsidered, FilesRemoved, FilesRemovedSizeBytes, FoldersVisited, FoldersRemoved,
    // ElapsedTimeMs (not the record's), then the privacy tags.
    static void FileCleanupStats(const CleanupStatistics& statistics);

private:
    constexpr PurgentTelemetryProvider() : TraceLoggingProvider("Brel.Orvo.Utilities.Purgent") {}
    template <class Provider>
    friend Provider& telemetry::ProviderInstance();
};
