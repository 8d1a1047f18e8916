#include "app/FrameStatistics.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(FrameStatistics, PercentilesTakeTheNearestRankOfTheSortedTimes) {
    struct Case {
        std::vector<double> ms;
        double p, expected;
    };
    const Case cases[] = {
        {{}, 0.5, 0},
        {{7}, 0.99, 7},
        {{30, 10, 20}, 0.5, 20},
        {{40, 10, 30, 20}, 0.5, 30},  // rank 1.5 rounds up
        {{40, 10, 30, 20}, 0.0, 10},
        {{40, 10, 30, 20}, 1.0, 40},
    };
    for (const Case& c : cases) EXPECT_DOUBLE_EQ(app::percentile(c.ms, c.p), c.expected) << c.ms.size();
}

TEST(FrameStatistics, SummaryOfAHundredAndOneFramesWithOneSlowTail) {
    // 1 .. 100 ms and one 500 ms frame: median 51, p99 at rank 99 (100 ms), worst 500.
    std::vector<double> ms;
    for (int k = 100; k >= 1; --k) ms.push_back(k);
    ms.insert(ms.begin() + 40, 500);
    const app::FrameTimeSummary s = app::summarizeFrameTimes(ms);
    EXPECT_EQ(s.frames, 101u);
    EXPECT_DOUBLE_EQ(s.median, 51);
    EXPECT_DOUBLE_EQ(s.p99, 100);
    EXPECT_DOUBLE_EQ(s.worst, 500);
}

}  // namespace
