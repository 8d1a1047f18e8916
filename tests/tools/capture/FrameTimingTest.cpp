#include "FrameTiming.h"

#include <gtest/gtest.h>

#include <iterator>
#include <vector>

namespace {

using capture::beatForMs;
using capture::planFrames;

// The show ends when the beat reaches 608: the constant must sit exactly on that step of the
// single-precision beat.
TEST(FrameTiming, ShowEndIsTheFirstMillisecondAtBeat608) {
    EXPECT_LT(beatForMs(capture::kShowEndMs - 1), 608.0f);
    EXPECT_GE(beatForMs(capture::kShowEndMs), 608.0f);
}

TEST(FrameTiming, FrameNShowsMusicTime400PlusNThousandthsOverFps) {
    const struct {
        int64_t n;
        int fps;
        int ms;
    } cases[] = {
        {0, 60, 400}, {1, 60, 416}, {2, 60, 433}, {3, 60, 450}, {59, 60, 1383}, {60, 60, 1400},
        {15071, 60, 251583}, {7, 30, 633}, {1, 1000, 401}, {3, 7, 828},
    };
    for (const auto& c : cases) EXPECT_EQ(capture::msForFrame(c.n, c.fps), c.ms) << c.n << " at " << c.fps;
}

TEST(FrameTiming, PlansCoverTheRangeUpToTheShowsEnd) {
    const struct {
        int fps, from, to;
        int64_t first, count;
    } cases[] = {
        {60, 400, -1, 0, 15072},          // whole show: last frame 251583 ms, next would be 251600
        {1, 400, -1, 0, 252},             // frames at 400, 1400, ..., 251400
        {10, 400, 2400, 0, 20},           // 400 .. 2300
        {10, 401, 2401, 1, 20},           // 500 .. 2400
        {4, 10000, 13000, 39, 12},        // grid 400 + 250 n: 10150 .. 12900
        {60, 251500, 999999, 15066, 6},   // clamped at the end of the show
        {1, 401, 900, 1, 0},              // no frame in the range
    };
    for (const auto& c : cases) {
        const capture::FramePlan plan = planFrames(c.fps, c.from, c.to);
        EXPECT_EQ(plan.firstFrame, c.first) << c.fps << " " << c.from << " " << c.to;
        EXPECT_EQ(plan.frameCount, c.count) << c.fps << " " << c.from << " " << c.to;
        if (plan.frameCount > 0) {
            EXPECT_GE(plan.msAt(0), c.from);
            EXPECT_LT(plan.msAt(plan.frameCount - 1), c.to < 0 ? capture::kShowEndMs : c.to);
        }
    }
}

TEST(FrameTiming, SoundtrackPositionFollowsTheFirstFrame) {
    const capture::FramePlan plan = planFrames(4, 10000, 13000);
    EXPECT_DOUBLE_EQ(plan.soundtrackSeconds(0), 39 / 4.0);
    EXPECT_DOUBLE_EQ(plan.durationSeconds(), 3.0);
}

// Stills join the video frame of their music time or get a frame of their own, in time order.
TEST(FrameTiming, DrawPlanMergesStillsIntoTheVideoFrames) {
    const capture::FramePlan video = planFrames(10, 400, 700);  // frames at 400, 500, 600 ms
    const std::vector<int> stills = {500, -20, 550, 900, 500, 550};
    const std::vector<capture::DrawStep> steps = capture::planDraws(video, stills);
    const struct {
        int ms;
        int64_t videoFrame;
        std::vector<size_t> stills;
    } expected[] = {
        {-20, -1, {1}}, {400, 0, {}}, {500, 1, {0, 4}}, {550, -1, {2, 5}}, {600, 2, {}}, {900, -1, {3}},
    };
    ASSERT_EQ(steps.size(), std::size(expected));
    for (size_t i = 0; i < steps.size(); ++i) {
        EXPECT_EQ(steps[i].ms, expected[i].ms) << i;
        EXPECT_EQ(steps[i].videoFrame, expected[i].videoFrame) << i;
        EXPECT_EQ(steps[i].stills, expected[i].stills) << i;
    }
}

TEST(FrameTiming, DrawPlanWithoutVideoHasOnlyTheStills) {
    capture::FramePlan none = planFrames(60, 400, -1);
    none.frameCount = 0;
    const std::vector<capture::DrawStep> steps = capture::planDraws(none, {7000, 3000});
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].ms, 3000);
    EXPECT_EQ(steps[0].stills, std::vector<size_t>{1});
    EXPECT_EQ(steps[1].videoFrame, -1);
}

}  // namespace
