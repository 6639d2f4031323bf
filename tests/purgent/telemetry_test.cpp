// purgent's provider, used exactly as the tool uses it.
#include <gtest/gtest.h>

#include <cstring>

#include "tools/Purgent/purgent_telemetry.h"

namespace {

bool IsZero(const GUID& id)
{
    const GUID zero{};
    return std::memcmp(&id, &zero, sizeof id) == 0;
}

// No session listens to the tests: the run goes through and creates no activity id.
TEST(PurgentTelemetry, APurgentRunWithoutASessionCreatesNoActivityId)
{
    PurgentTelemetryProvider::OrvoFilesCleanup activity;
    activity.Start();
    PurgentTelemetryProvider::FileCleanupStats({.FilesRemovedSizeBytes = 2000,
                                                .FilesConsidered = 3,
                                                .FilesRemoved = 2,
                                                .FoldersVisited = 2,
                                                .FoldersRemoved = 1,
                                                .ElapsedTimeMs = 5});
    EXPECT_TRUE(IsZero(activity.Id()));
    activity.Stop(S_OK);
}

} // namespace
