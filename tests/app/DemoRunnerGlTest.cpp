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

}  // namespace
