// The statistics event of purgent's provider.
#include "tools/Purgent/purgent_telemetry.h"

void PurgentTelemetryProvider::FileCleanupStats(const CleanupStatistics& statistics)
{
    const PurgentTelemetryProvider& provider = telemetry::ProviderInstance<PurgentTelemetryProvider>();
    if (!provider.IsEnabled(telemetry::kLevelInformation, kActivityKeyword)) {
        return;
    }
    telemetry::EventFields fields("FileCleanupStats");
    fields.UInt32("FilesConsidered", statistics.FilesConsidered);
    fields.UInt32("FilesRemoved", statistics.FilesRemoved);
    fields.UInt64("FilesRemovedSizeBytes", statistics.FilesRemovedSizeBytes);
    fields.UInt32("FoldersVisited", statistics.FoldersVisited);
    fields.UInt32("FoldersRemoved", statistics.FoldersRemoved);
    fields.UInt32("ElapsedTimeMs", statistics.ElapsedTimeMs);
    fields.UInt64("PartA_PrivTags", kActivityPrivacyTags);
    provider.Write(fields, telemetry::kLevelInformation, telemetry::kOpcodeInfo, kActivityKeyword, nullptr, nullptr);
}
