// findle's provider, used exactly as the tool uses it, under the POSIX layer's trace session.
#if !defined(_WIN32)
#include <gtest/gtest.h>

#include "common/failure_macros.h"
#include "telemetry/trace_session.h"
#include "tools/Findle/findle_telemetry.h"

namespace {

// A finder run whose search met a denied folder: the stop carries that failure, while the
// first report of it keeps the activity's keyword, which already holds 0x200000000000.
TEST(FindleTelemetry, AFinderRunStopsWithTheFailureItsSearchReported)
{
    const telemetry_test::TraceSession session("Brel.Orvo.Utilities.Findle");
    {
        FindleTelemetryProvider::Findle activity;
        activity.Start();
        LOG_HR(E_ACCESSDENIED);
        activity.Stop(E_ACCESSDENIED);
    }
    const auto events = session.Events();
    ASSERT_EQ(events.size(), 3u);
    const char* names[] = {"Findle", "ActivityError", "Findle"};
    const int levels[] = {5, 2, 5};
    const int opcodes[] = {1, 0, 2};
    for (size_t i = 0; i < events.size(); ++i) {
        EXPECT_EQ(events[i].name, names[i]);
        EXPECT_EQ(events[i].providerName, "Brel.Orvo.Utilities.Findle");
        EXPECT_EQ(events[i].level, levels[i]);
        EXPECT_EQ(events[i].opcode, opcodes[i]);
        EXPECT_EQ(events[i].keyword, 0x200000000000u);
    }
    EXPECT_EQ(events[2].Field("hresult").number, 0x80070005u);
}

} // namespace
#endif
