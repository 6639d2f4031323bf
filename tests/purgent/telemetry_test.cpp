// purgent's provider, used exactly as the tool uses it.
#include <gtest/gtest.h>

#include <cstring>

#include "common/telemetry/purgent_telemetry.h"

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
    PurgentTelemetryProvider::FileCleanupStats(3, 2, 2000, 2, 1, 5);
    EXPECT_TRUE(IsZero(activity.Id()));
    activity.Stop(S_OK);
}

} // namespace
