#include "app/GlWindow.h"

#include <gtest/gtest.h>

#include "app/FakeWindowSystem.h"
#include "app/FatalError.h"
#include "support/GlTestContext.h"

namespace {

using platform::WindowEvent;
using testsupport::event;
using testsupport::mode;
using testsupport::WindowState;

// A GlWindow on fake window services, drawing into the test's GL context.
class GlWindowTest : public testsupport::GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        previous_ = app::setFatalErrorHandler([this](const std::string& text) { reports.push_back(text); });
    }
    void TearDown() override { app::setFatalErrorHandler(previous_); }

    bool create(bool fullScreen = true, int width = 640, int height = 480) {
        return window.create(std::make_unique<testsupport::FakeWindowSystem>(state), width, height, fullScreen);
    }

    static std::vector<GLint> viewport() {
        std::vector<GLint> v(4);
        glGetIntegerv(GL_VIEWPORT, v.data());
        return v;
    }

    WindowState state;
    app::GlWindow window;
    std::vector<std::string> reports;

private:
    app::FatalErrorHandler previous_;
};

TEST_F(GlWindowTest, CreateSetsTheInitialGlStateAndGoesFullScreen) {
    // Leave the context in a different state first, so each value below is one create set.
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glClearColor(1, 1, 1, 1);
    glClearDepth(0.5);
    glDepthFunc(GL_ALWAYS);
    glShadeModel(GL_FLAT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glTranslatef(1, 2, 3);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glScalef(2, 2, 2);
    glMatrixMode(GL_TEXTURE);
    state.modes = {mode(0, 640, 480, 32)};

    ASSERT_TRUE(create());
    EXPECT_TRUE(window.active);
    EXPECT_EQ(state.title, "qel - vorthalimex | the halcyrne, part 1");
    EXPECT_EQ(std::string(app::windowTitle).size(), 40u);

    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_FLOAT_EQ(clear[0], 0.2f);
    EXPECT_FLOAT_EQ(clear[1], 0.2f);
    EXPECT_FLOAT_EQ(clear[2], 0.2f);
    EXPECT_FLOAT_EQ(clear[3], 0.0f);
    GLfloat depthClear = 0;
    glGetFloatv(GL_DEPTH_CLEAR_VALUE, &depthClear);
    EXPECT_FLOAT_EQ(depthClear, 1.0f);
    GLint value = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &value);
    EXPECT_EQ(value, GL_LESS);
    glGetIntegerv(GL_SHADE_MODEL, &value);
    EXPECT_EQ(value, GL_SMOOTH);
    glGetIntegerv(GL_MATRIX_MODE, &value);
    EXPECT_EQ(value, GL_MODELVIEW);
    for (GLenum matrix : {GL_PROJECTION_MATRIX, GL_MODELVIEW_MATRIX}) {
        GLfloat m[16];
        glGetFloatv(matrix, m);
        for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(m[i], i % 5 == 0 ? 1.0f : 0.0f) << "matrix element " << i;
    }
    EXPECT_EQ(viewport(), (std::vector<GLint>{0, 0, 640, 480}));

    EXPECT_EQ(window.windowed, 0);
    EXPECT_TRUE(state.fullScreen);
    EXPECT_TRUE(state.topMost);
    EXPECT_FALSE(state.pointerVisible) << "no pointer over the full-screen window";
    EXPECT_GE(window.maxTextureSize, 512);
    EXPECT_EQ(reinterpret_cast<void*>(window.glActiveTextureARB), reinterpret_cast<void*>(&testsupport::fakeActiveTexture));
    EXPECT_TRUE(reports.empty());
    expectNoGlError("create");
}

TEST_F(GlWindowTest, DisplayModeChoiceAndFallBacks) {
    using platform::DisplayMode;
    struct Case {
        const char* name;
        std::vector<DisplayMode> modes;
        bool accepted;
        int modeIndex;  // -1: windowed
        int width, height;
    };
    const Case cases[] = {
        {"exact size, deepest, first among equals",
         {mode(0, 640, 480, 16), mode(1, 800, 600, 32), mode(2, 640, 480, 32, 60), mode(3, 640, 480, 32, 75),
          mode(4, 640, 400, 32)},
         true, 2, 640, 480},
        {"fifteen bits are enough", {mode(0, 640, 480, 15), mode(1, 1280, 960, 32)}, true, 0, 640, 480},
        {"eight bits are not: twice the size", {mode(0, 640, 480, 8), mode(1, 1280, 960, 16)}, true, 1, 1280, 960},
        {"only twice the size", {mode(0, 1280, 1024, 32), mode(1, 1280, 960, 24)}, true, 1, 1280, 960},
        {"neither size: a window", {mode(0, 1280, 1024, 32), mode(1, 800, 600, 32)}, true, -1, 640, 480},
        {"no modes at all: a window", {}, true, -1, 640, 480},
        {"mode refused: a window", {mode(0, 640, 480, 32)}, false, -1, 640, 480},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        state = WindowState{};
        state.modes = c.modes;
        state.modeChangeAccepted = c.accepted;
        app::GlWindow w;
        ASSERT_TRUE(w.create(std::make_unique<testsupport::FakeWindowSystem>(state), 640, 480, true));
        EXPECT_TRUE(w.active);
        EXPECT_EQ(state.modeIndex, c.modeIndex);
        EXPECT_EQ(w.windowed, c.modeIndex < 0 ? 1 : 0);
        EXPECT_EQ(w.width, c.width);
        EXPECT_EQ(w.height, c.height);
        EXPECT_EQ(viewport(), (std::vector<GLint>{0, 0, c.width, c.height}));
        if (c.modeIndex < 0) {
            // The window at the top-left corner, outer size 640 x 480, no longer above the rest.
            EXPECT_EQ(state.rect, (platform::Rect{0, 0, 640, 480}));
            EXPECT_FALSE(state.topMost);
            EXPECT_FALSE(state.fullScreen);
            EXPECT_TRUE(state.pointerVisible);
        } else {
            EXPECT_EQ(state.rect, (platform::Rect{0, 0, c.width, c.height}));
            EXPECT_TRUE(state.topMost);
        }
    }
    EXPECT_TRUE(reports.empty());
}

TEST_F(GlWindowTest, WindowedStartKeepsTheGivenSize) {
    ASSERT_TRUE(create(false, 800, 450));
    EXPECT_EQ(window.windowed, 1);
    EXPECT_FALSE(state.fullScreen);
    EXPECT_EQ(state.rect, (platform::Rect{0, 0, 800, 450}));
    EXPECT_EQ(window.width, 800);
    EXPECT_EQ(window.height, 450);
    EXPECT_TRUE(window.active);
}

TEST_F(GlWindowTest, EventsSetKeysQuitAndViewport) {
    state.modes = {mode(0, 640, 480, 32)};
    ASSERT_TRUE(create());
    struct Step {
        const char* name;
        WindowEvent in;
        bool active;
        int slot, slotValue;  // keys[slot] afterwards
        int width, height;    // drawing size afterwards
    };
    const Step steps[] = {
        {"escape down", event(WindowEvent::KeyDown, 27), true, 27, 1, 640, 480},
        {"escape up", event(WindowEvent::KeyUp, 27), true, 27, 0, 640, 480},
        {"alt+a does not set", event(WindowEvent::SysKeyDown, 'A'), true, 'A', 0, 640, 480},
        {"a down", event(WindowEvent::KeyDown, 'A'), true, 'A', 1, 640, 480},
        {"a up under alt does not clear", event(WindowEvent::SysKeyUp, 'A'), true, 'A', 1, 640, 480},
        {"plain enter is a key", event(WindowEvent::KeyDown, 13), true, 13, 1, 640, 480},
        {"resize while active", event(WindowEvent::Size, 0, 800, 600), true, 0, 0, 800, 600},
        {"zero size gives one pixel", event(WindowEvent::Size, 0, 0, 0), true, 0, 0, 1, 1},
        {"negative size too", event(WindowEvent::Size, 0, -5, 300), true, 0, 0, 1, 300},
        {"resize while inactive is ignored", event(WindowEvent::Size, 0, 1024, 768), false, 0, 0, 1, 300},
        {"other commands are swallowed", event(WindowEvent::Command, 1001), true, 0, 0, 1, 300},
    };
    for (const Step& s : steps) {
        window.active = s.active;
        window.windowProc(s.in);
        EXPECT_EQ(window.keys[s.slot], s.slotValue) << s.name;
        EXPECT_EQ(window.width, s.width) << s.name;
        EXPECT_EQ(window.height, s.height) << s.name;
        EXPECT_EQ(window.windowed, 0) << s.name;
        EXPECT_EQ(window.quitRequested, 0) << s.name;
    }
    EXPECT_EQ(viewport(), (std::vector<GLint>{0, 0, 1, 300}));
    window.active = true;
    window.windowProc(event(WindowEvent::Close));
    EXPECT_EQ(window.quitRequested, 1);
    window.windowProc(event(WindowEvent::KeyDown, 'B'));
    EXPECT_EQ(window.quitRequested, 1) << "never reset";
}

TEST_F(GlWindowTest, AltEnterTogglesOnlyWhileActiveAndNeverTouchesKeys) {
    state.modes = {mode(0, 640, 480, 32)};
    ASSERT_TRUE(create());
    state.rect = platform::Rect{0, 0, 640, 480};
    const WindowEvent altEnter = event(WindowEvent::SysKeyDown, 13);

    state.events = {altEnter, event(WindowEvent::SysKeyUp, 13)};
    window.pumpMessages();
    EXPECT_EQ(window.windowed, 1);
    EXPECT_TRUE(window.active);
    EXPECT_FALSE(state.fullScreen);
    EXPECT_TRUE(state.pointerVisible);
    EXPECT_EQ(window.keys[13], 0);

    // Back in windowed mode the drawing size is the outer size of the saved rectangle.
    window.savedRect = platform::Rect{10, 20, 660, 520};
    window.windowed = 0;
    window.setDisplayMode(true);
    EXPECT_EQ(window.width, 650);
    EXPECT_EQ(window.height, 500);
    EXPECT_EQ(state.rect, (platform::Rect{10, 20, 660, 520}));

    state.events = {altEnter};
    window.pumpMessages();
    EXPECT_EQ(window.windowed, 0) << "back to full screen";
    EXPECT_TRUE(state.fullScreen);
    EXPECT_EQ(window.width, 640);

    window.active = false;
    state.events = {altEnter};
    window.pumpMessages();
    EXPECT_EQ(window.windowed, 0) << "ignored during a switch";
    EXPECT_EQ(state.exitCode, -1);
}

TEST_F(GlWindowTest, ShortPressWithinOnePumpReadsAsDownUntilTheNextPump) {
    ASSERT_TRUE(create(false));
    const WindowEvent down = event(WindowEvent::KeyDown, 27), up = event(WindowEvent::KeyUp, 27);
    struct Case {
        const char* name;
        std::vector<std::vector<WindowEvent>> pumps;  // the events waiting at each pump
        std::vector<int> slot;                        // keys[27] after each pump
    };
    const Case cases[] = {
        {"down and up in separate pumps", {{down}, {up}, {}}, {1, 0, 0}},
        {"down and up in one pump", {{down, up}, {}, {}}, {1, 0, 0}},
        {"pressed again in the same pump", {{down, up, down}, {}}, {1, 1}},
        {"released in the next pump", {{down, up, down}, {up}}, {1, 0}},
        {"up alone", {{up}}, {0}},
    };
    for (const Case& c : cases) {
        window.keys[27] = 0;
        window.pumpMessages();
        for (std::size_t i = 0; i < c.pumps.size(); ++i) {
            state.events.assign(c.pumps[i].begin(), c.pumps[i].end());
            window.pumpMessages();
            EXPECT_EQ(window.keys[27], c.slot[i]) << c.name << ", pump " << i;
        }
    }
}

TEST_F(GlWindowTest, DestroyReleasesOnceAndShowsThePointer) {
    state.modes = {mode(0, 640, 480, 32)};
    {
        app::GlWindow w;
        ASSERT_TRUE(w.create(std::make_unique<testsupport::FakeWindowSystem>(state), 640, 480, true));
        EXPECT_FALSE(state.pointerVisible);
        w.present();
        EXPECT_EQ(state.swaps, 1);
        w.destroy();
        EXPECT_FALSE(w.active);
        EXPECT_EQ(state.releases, 1);
        EXPECT_EQ(state.restores, 1);
        EXPECT_FALSE(state.fullScreen);
        EXPECT_TRUE(state.pointerVisible);
        w.present();
        EXPECT_EQ(state.swaps, 1) << "nothing to show once the context is gone";
        w.destroy();
    }  // and the destructor
    EXPECT_EQ(state.releases, 1);
    EXPECT_EQ(state.restores, 1);
}

TEST_F(GlWindowTest, ContextFailuresAreReportedAndCreateFails) {
    using platform::ContextResult;
    struct Case {
        ContextResult result;
        const char* text;
    };
    const Case cases[] = {
        {ContextResult::NoDeviceContext, "cannot create devicecontext"},
        {ContextResult::NoPixelFormat, "no suitable pixelformat"},
        {ContextResult::PixelFormatNotSet, "cannot set pixelformat"},
        {ContextResult::NoRenderingContext, "no rendering context"},
        {ContextResult::NotCurrent, "cannot activate glrc"},
    };
    for (const Case& c : cases) {
        state = WindowState{};
        state.modes = {mode(0, 640, 480, 32)};
        state.contextResult = c.result;
        reports.clear();
        app::GlWindow w;
        EXPECT_FALSE(w.create(std::make_unique<testsupport::FakeWindowSystem>(state), 640, 480, true)) << c.text;
        EXPECT_EQ(reports, std::vector<std::string>{c.text});
        EXPECT_FALSE(w.active);
        EXPECT_FALSE(state.fullScreen) << "no display mode change after a failed context";
        EXPECT_EQ(state.releases, 1) << c.text;
    }
}

TEST_F(GlWindowTest, NoWindowAndNoMultitextureAreReported) {
    state.windowOpens = false;
    EXPECT_FALSE(create());
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], "cannot create window (no display)");

    state = WindowState{};
    state.modes = {mode(0, 640, 480, 32)};
    state.multitexture = false;
    reports.clear();
    app::GlWindow w;
    EXPECT_TRUE(w.create(std::make_unique<testsupport::FakeWindowSystem>(state), 640, 480, true));
    EXPECT_EQ(reports, std::vector<std::string>{"support for GL_ARB_multitexture required"});
    ASSERT_NE(w.glActiveTextureARB, nullptr) << "the drawing code calls it without a check";
    w.glActiveTextureARB(GL_TEXTURE1_ARB);
}

}  // namespace
