#include "app/Progress.h"

#include <gtest/gtest.h>

namespace {

TEST(Progress, FormatsMusicTimesAndDurations) {
    EXPECT_EQ(app::formatMusicTime(0), "0:00.000");
    EXPECT_EQ(app::formatMusicTime(2383), "0:02.383");
    EXPECT_EQ(app::formatMusicTime(251586), "4:11.586");
    EXPECT_EQ(app::formatMusicTime(-5333), "-0:05.333");
    EXPECT_EQ(app::formatDuration(0), "0:00");
    EXPECT_EQ(app::formatDuration(0.2), "0:01");
    EXPECT_EQ(app::formatDuration(256), "4:16");
    EXPECT_EQ(app::formatDuration(3600 + 62), "1:01:02");
}

TEST(Progress, LineGivesFramesMusicTimeRateAndTimeLeft) {
    app::Progress progress(1000, 100.0);
    EXPECT_EQ(progress.line(), "frame 0/1000  music 0:00.000  -- fps  left --");
    for (int i = 0; i < 200; ++i) progress.frameDone(400 + i * 16, 100.0 + (i + 1) * 0.02);
    // 200 frames in 4 s: 50 fps, 800 frames left take 16 s.
    EXPECT_EQ(progress.line(), "frame 200/1000  music 0:03.584  50.0 fps  left 0:16");
}

TEST(Progress, LinesAreDueOncePerInterval) {
    app::Progress progress(10, 0.0);
    EXPECT_FALSE(progress.due(0.1, 0.25));
    EXPECT_TRUE(progress.due(0.3, 0.25));
    EXPECT_FALSE(progress.due(0.5, 0.25));
    EXPECT_TRUE(progress.due(0.55, 0.25));
}

}  // namespace
