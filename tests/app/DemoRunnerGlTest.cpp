#include "app/RunnerFixture.h"
#include "support/GlTestContext.h"

namespace {

using testsupport::RunnerTest;

// Every frame starts with depth writes on, whatever the frame before left.
TEST_F(RunnerTest, DepthWritesAreOnBeforeEveryFrame) {
    ASSERT_NE(testsupport::glSurface(), nullptr);
    glDepthMask(GL_FALSE);
    std::vector<GLboolean> seen;
    runner.onDraw = [&] {
        GLboolean mask = GL_FALSE;
        glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
        seen.push_back(mask);
        glDepthMask(GL_FALSE);
    };
    window.script = [&](testsupport::FakeWindow& w) {
        if (runner.frames.size() == 3) w.keys[27] = 1;
    };
    runner.run();
    EXPECT_EQ(seen, (std::vector<GLboolean>{GL_TRUE, GL_TRUE, GL_TRUE}));
}

// The runner hands its render path to the content it loads; by default the faithful one.
TEST(RunnerInit, TheContentDrawsOnTheRunnersRenderPath) {
    ASSERT_NE(testsupport::glSurface(), nullptr);
    // Files missing from the test's folder are reported; that is not what this test is about.
    const app::FatalErrorHandler previous = app::setFatalErrorHandler([](const std::string&) {});
    testsupport::FakeClock clock;
    testsupport::AudioLog log;
    const auto track = [&] { return std::make_unique<music::MusicTrack>(testsupport::FakeAudioApi::make(log), clock); };
    app::GlWindow window;
    window.width = 640;
    window.height = 480;
    for (const content::RenderPath path : {content::RenderPath::Faithful, content::RenderPath::Fast}) {
        app::DemoRunner runner(clock, track, path);
        runner.init(&window);
        ASSERT_NE(runner.content, nullptr);
        EXPECT_EQ(runner.content->renderPath, path) << content::renderPathName(path);
        runner.shutdown();
    }
    app::DemoRunner byDefault(clock, track);
    byDefault.init(&window);
    EXPECT_EQ(byDefault.content->renderPath, content::RenderPath::Faithful);
    app::setFatalErrorHandler(previous);
}

}  // namespace
