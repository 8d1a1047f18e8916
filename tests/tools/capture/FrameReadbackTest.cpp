#include "FrameReadback.h"

#include "support/GlTestContext.h"

namespace {

using testsupport::GlTest;

void fillRect(int x, int y, int w, int h, float r, float g, float b) {
    glScissor(x, y, w, h);
    glClearColor(r, g, b, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

// GL counts rows from the bottom; the picture read back runs from the top, red before blue.
TEST_F(GlTest, ReadFrameTurnsRowsTopDownInRgbOrder) {
    glViewport(0, 0, 640, 480);
    glEnable(GL_SCISSOR_TEST);
    fillRect(0, 0, 640, 480, 0, 0, 0);
    fillRect(0, 470, 20, 10, 1, 0, 0);  // top-left in GL coordinates
    fillRect(0, 0, 20, 10, 0, 0, 1);    // bottom-left
    fillRect(630, 0, 10, 10, 0, 1, 0);  // bottom-right
    glDisable(GL_SCISSOR_TEST);
    const capture::RgbImage image = capture::readFrame(640, 480);
    expectNoGlError("read back");
    ASSERT_EQ(image.pixels.size(), 640u * 480u * 3u);
    auto pixel = [&](int x, int y) {
        const uint8_t* p = &image.pixels[(static_cast<size_t>(y) * 640 + x) * 3];
        return std::vector<int>{p[0], p[1], p[2]};
    };
    EXPECT_EQ(pixel(0, 0), (std::vector<int>{255, 0, 0}));
    EXPECT_EQ(pixel(19, 9), (std::vector<int>{255, 0, 0}));
    EXPECT_EQ(pixel(0, 479), (std::vector<int>{0, 0, 255}));
    EXPECT_EQ(pixel(639, 479), (std::vector<int>{0, 255, 0}));
    EXPECT_EQ(pixel(320, 240), (std::vector<int>{0, 0, 0}));
}

}  // namespace
