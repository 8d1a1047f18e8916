#pragma once
// The main loop against a fake clock, a fake window and a soundtrack on the recording audio fake.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "app/DemoRunner.h"
#include "app/FatalError.h"
#include "app/GlWindow.h"
#include "music/FakeAudioApi.h"
#include "platform/FakeClock.h"

namespace testsupport {

// Each message pump moves the clock by `step` ms and then runs the test's script.
class FakeWindow : public app::GlWindow {
public:
    explicit FakeWindow(FakeClock& clock) : clock_(clock) { active = true; }
    void pumpMessages() override {
        ++pumps;
        clock_.now += step;
        if (script) script(*this);
        if (pumps > 200000) keys[27] = 1;  // a loop that does not end fails its test, not the suite
    }
    void present() override { ++presents; }

    std::function<void(FakeWindow&)> script;
    std::uint32_t step = 10;
    int pumps = 0;
    int presents = 0;

private:
    FakeClock& clock_;
};

class RecordingRunner : public app::DemoRunner {
public:
    using app::DemoRunner::DemoRunner;
    std::vector<std::int32_t> frames;
    std::function<void()> onDraw;

protected:
    void drawFrame(std::int32_t ms) override {
        frames.push_back(ms);
        if (onDraw) onDraw();
    }
};

// Everything one run of the loop needs, wired together; the clock starts at 50,000 ms.
struct LoopRig {
    LoopRig() : window(clock), runner(clock, [this] { return std::make_unique<music::MusicTrack>(FakeAudioApi::make(log), clock); }) {
        clock.now = 50000;
        runner.window = &window;
    }
    bool playing() const {
        for (const AudioCall& c : log.calls)
            if (c.op == "play") return true;
        return false;
    }

    FakeClock clock;
    AudioLog log;
    FakeWindow window;
    RecordingRunner runner;
};

// One rig per test; fatal reports are recorded, and a test that made one fails.
class RunnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = app::setFatalErrorHandler([this](const std::string& text) { reports.push_back(text); });
    }
    void TearDown() override {
        app::setFatalErrorHandler(previous_);
        EXPECT_TRUE(reports.empty());
    }
    bool playing() const { return rig.playing(); }

    LoopRig rig;
    FakeClock& clock = rig.clock;
    AudioLog& log = rig.log;
    FakeWindow& window = rig.window;
    RecordingRunner& runner = rig.runner;
    std::vector<std::string> reports;

private:
    app::FatalErrorHandler previous_;
};

}  // namespace testsupport
