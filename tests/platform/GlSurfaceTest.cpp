#include "support/GlTestContext.h"

namespace {

using testsupport::GlTest;

// The test context is the compatibility profile the fixed-function code needs: a cleared colour
// reads back, and the fixed-function matrix stack exists.
TEST_F(GlTest, ContextClearsAndReadsBackWithFixedFunctionMatrices) {
    glViewport(0, 0, 640, 480);
    glClearColor(1.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    unsigned char pixel[4] = {};
    glReadPixels(10, 10, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(pixel[0], 255);
    EXPECT_EQ(pixel[1], 0);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_PROJECTION);
    expectNoGlError("fixed-function set-up");
}

}  // namespace
