// The statistics event of purgent's provider.
#include "common/telemetry/purgent_telemetry.h"

void PurgentTelemetryProvider::FileCleanupStats(DWORD filesConsidered, DWORD filesRemoved,
                                                ULONGLONG filesRemovedSizeBytes, DWORD foldersVisited,
                                                DWORD foldersRemoved, DWORD elapsedTimeMs)
{
    const PurgentTelemetryProvider& provider = telemetry::ProviderInstance<PurgentTelemetryProvider>();
    if (!provider.IsEnabled(telemetry::kLevelInformation, kActivityKeyword)) {
        return;
    }
    telemetry::EventFields fields("FileCleanupStats");
    fields.UInt32("FilesConsidered", filesConsidered);
    fields.UInt32("FilesRemoved", filesRemoved);
    fields.UInt64("FilesRemovedSizeBytes", filesRemovedSizeBytes);
    fields.UInt32("FoldersVisited", foldersVisited);
    fields.UInt32("FoldersRemoved", foldersRemoved);
    fields.UInt32("ElapsedTimeMs", elapsedTimeMs);
    fields.UInt64("PartA_PrivTags", kActivityPrivacyTags);
    provider.Write(fields, telemetry::kLevelInformation, telemetry::kOpcodeInfo, kActivityKeyword, nullptr, nullptr);
}
