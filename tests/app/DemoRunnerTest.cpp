#include <gtest/gtest.h>

#include "app/RunnerFixture.h"
#include "music/MusicTrack.h"

namespace {

using music::MusicTrack;
using testsupport::AudioCall;
using testsupport::FakeWindow;
using testsupport::RunnerTest;

TEST_F(RunnerTest, PausesOneSecondThenDrawsFromMs400) {
    int pumpsBeforePlay = -1;
    window.script = [&](FakeWindow& w) {
        if (!playing()) pumpsBeforePlay = w.pumps;
        if (runner.frames.size() == 3) w.keys[27] = 1;
    };
    runner.run();
    // 100 pumps of 10 ms: the music starts once the clock has passed start + 1000.
    EXPECT_EQ(pumpsBeforePlay, 100);
    EXPECT_EQ(runner.frames, (std::vector<std::int32_t>{400, 410, 420}));
    EXPECT_EQ(window.presents, 3);
    std::vector<AudioCall> expected = {{"version", 0, ""}, {"init", 44100, ""}, {"create", 0, "data\\Vorthalimex.mp3"},
                                       {"start", 0, ""},   {"play", 7, ""}};
    for (int v = 100; v >= 0; v -= 5) expected.push_back({"volume", v, ""});
    expected.push_back({"stop", 0, ""});
    expected.push_back({"free", 0, ""});
    EXPECT_EQ(log.calls, expected);
}

TEST_F(RunnerTest, SeekKeysMoveClockAndSoundtrackTogether) {
    struct Case {
        const char* name;
        bool minus, plus;
        std::int32_t third;  // ms of the frame after the keys
        std::vector<std::int64_t> positions;
    };
    const Case cases[] = {
        {"no key", false, false, 420, {}},
        {"plus", false, true, 5753, {MusicTrack::positionForMs(5753)}},
        // Below zero: the frame gets the negative ms unchanged, the library refuses the seek.
        {"minus", true, false, -4913, {-866653}},
        {"both cancel in the clock; minus is applied first", true, true, 420, {-866653, 74088}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::LoopRig each;
        auto& audio = each.log;
        auto& w = each.window;
        auto& r = each.runner;
        w.script = [&](FakeWindow& win) {
            if (r.frames.size() == 2) {
                win.keys[109] = c.minus;
                win.keys[107] = c.plus;
            }
            if (r.frames.size() == 4) win.keys[27] = 1;
        };
        r.run();
        EXPECT_EQ(r.frames, (std::vector<std::int32_t>{400, 410, c.third, c.third + 10}));
        EXPECT_EQ(audio.positions(), c.positions);
        EXPECT_EQ(w.keys[107], 0);
        EXPECT_EQ(w.keys[109], 0);
    }
}

TEST_F(RunnerTest, EndsAtBeat608OnTheSamePass) {
    struct Case {
        const char* name;
        std::int32_t jumpTo;  // ms of the second pass
        bool plus;            // keypad plus waiting at that pass
        std::vector<std::int32_t> frames;
        std::vector<std::int64_t> positions;
    };
    const Case cases[] = {
        {"last frame at 251,586", 251586, false, {400, 251586}, {}},
        {"251,587 is beat 608", 251587, false, {400}, {}},
        {"seek to 251,586 still draws", 246253, true, {400, 251586}, {MusicTrack::positionForMs(251586)}},
        {"seek past 251,586 ends at once", 246254, true, {400}, {MusicTrack::positionForMs(251587)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::LoopRig each;
        auto& clk = each.clock;
        auto& audio = each.log;
        auto& w = each.window;
        auto& r = each.runner;
        w.script = [&](FakeWindow& win) {
            if (r.frames.size() == 1 && win.step) {
                win.step = 0;
                clk.now += static_cast<std::uint32_t>(c.jumpTo - 410);  // this pump added 10 already
                win.keys[107] = c.plus;
            } else if (r.frames.size() >= 2) {
                clk.now += 1;  // 251,587 at the next pass
            }
        };
        r.run();
        EXPECT_EQ(r.frames, c.frames);
        EXPECT_EQ(audio.positions(), c.positions);
        EXPECT_EQ(audio.calls.back().op, "free") << "faded out and released";
        EXPECT_EQ(w.keys[27], 0) << "ended by the beat, not the safety net";
    }
}

TEST_F(RunnerTest, InactiveWindowDrawsNothingReadsNoClockAndSeeksNothingButEscapeEnds) {
    window.active = false;
    window.keys[107] = 1;
    int pumpsBeforePlay = 0;
    window.script = [&](FakeWindow& w) {
        if (!playing()) pumpsBeforePlay = w.pumps;
        if (w.pumps == pumpsBeforePlay + 50) w.keys[27] = 1;
    };
    runner.run();
    EXPECT_TRUE(runner.frames.empty());
    EXPECT_EQ(window.presents, 0);
    EXPECT_TRUE(log.positions().empty());
    EXPECT_EQ(window.keys[107], 1) << "left for the first active pass";
    // Start tick, one read per pause check (the last one ends the pause), the read after play.
    EXPECT_EQ(clock.reads, 1 + (pumpsBeforePlay + 1) + 1);
}

TEST_F(RunnerTest, KeyPressedWhileInactiveSeeksAtTheFirstActivePass) {
    window.active = false;
    int passes = 0;
    window.script = [&](FakeWindow& w) {
        if (!playing()) return;
        ++passes;
        if (passes == 3) w.keys[107] = 1;
        if (passes == 6) w.active = true;
        if (runner.frames.size() == 2) w.keys[27] = 1;
    };
    runner.run();
    // Six pumps of 10 ms went by while inactive: the clock kept running.
    EXPECT_EQ(runner.frames, (std::vector<std::int32_t>{460 + 5333, 470 + 5333}));
    EXPECT_EQ(log.positions(), (std::vector<std::int64_t>{MusicTrack::positionForMs(5793)}));
}

TEST_F(RunnerTest, ClosingTheWindowEndsTheShowAndFadesOut) {
    window.script = [&](FakeWindow& w) {
        if (runner.frames.size() == 2) w.quitRequested = 1;
    };
    runner.run();
    EXPECT_EQ(runner.frames.size(), 2u);
    ASSERT_GE(log.calls.size(), 23u);
    EXPECT_EQ(log.calls[log.calls.size() - 23], (AudioCall{"volume", 100, ""}));
    EXPECT_EQ(log.calls[log.calls.size() - 3], (AudioCall{"volume", 0, ""}));
    EXPECT_EQ(log.calls.back().op, "free");
    EXPECT_EQ(clock.sleeps, std::vector<std::uint32_t>(21, 1));
}

TEST(DemoRunnerBeat, BeatsAt145PerMinute) {
    EXPECT_FLOAT_EQ(app::DemoRunner::beatAt(0), 0.0f);
    EXPECT_FLOAT_EQ(app::DemoRunner::beatAt(60000), 145.0f);
    EXPECT_LT(app::DemoRunner::beatAt(251586), 608.0f);
    EXPECT_GE(app::DemoRunner::beatAt(251587), 608.0f);
    EXPECT_FLOAT_EQ(app::DemoRunner::beatAt(-5333), -12.888083f);
}

}  // namespace
