// The closing line of purgent and findle: the rate's rounding and limits, and the line's text.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "common/elapsed_time_line.h"

namespace {

TEST(ItemsPerSecond, RoundsHalfUpAndHoldsAtTheEnds)
{
    const struct {
        long long items;
        double seconds;
        int rate;
    } cases[] = {
        {3, 2.0, 2},              // 1.5 rounds up
        {4, 0.0006, 6667},        // 6666.67
        {1, 3.0, 0},              // 0.33 rounds down
        {4, 1e-12, INT_MAX},      // beyond 32 bits
        {5, 0.0, 0},              // no time measured: no rate
        {5, -1.0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ItemsPerSecond(c.items, c.seconds), c.rate) << c.items << " / " << c.seconds;
    }
}

TEST(PrintElapsedTimeLine, GroupsTheMillisecondsAndKeepsThreeDecimals)
{
    testing::internal::CaptureStdout();
    PrintElapsedTimeLine(12345, 12.3456, L"n/a");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Elapsed time: 12,345ms (12.346s) @ n/a items/sec\n");
}

} // namespace
