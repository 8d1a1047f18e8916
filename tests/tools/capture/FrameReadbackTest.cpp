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

namespace {

// Three different frames: colour bands and a smooth-shaded triangle whose every pixel differs
// from its neighbours' (so that a row turned or a channel swapped shows).
void drawTestFrame(int k) {
    glViewport(0, 0, 640, 480);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0.1f * k, 0.2f, 0.05f * (3 - k), 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 640, 0, 480, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glShadeModel(GL_SMOOTH);
    glBegin(GL_TRIANGLES);
    glColor3f(1, 0, 0.3f * k);
    glVertex2f(10.0f + 50 * k, 5);
    glColor3f(0, 1, 0);
    glVertex2f(630, 240.0f + 30 * k);
    glColor3f(0.2f, 0, 1);
    glVertex2f(40, 475);
    glEnd();
    glEnable(GL_SCISSOR_TEST);
    fillRect(0, 470 - 10 * k, 640, 3, 1, 1, 0);
    glDisable(GL_SCISSOR_TEST);
}

// The pipelined reader hands each frame over one frame late (at the next start, the last at
// take); turned into RGB its bytes are exactly the picture readFrame reads, with and without
// pixel buffer objects.
TEST_F(GlTest, PipelinedReadsGiveTheFramesReadFrameGives) {
    for (const bool pixelBuffers : {true, false}) {
        SCOPED_TRACE(pixelBuffers ? "pixel buffer objects" : "direct reads");
        platform::GlSurface* surface = testsupport::glSurface();
        capture::PipelinedReader::ProcAddress lookUp;
        if (pixelBuffers) lookUp = [surface](const char* name) { return surface->procAddress(name); };
        capture::PipelinedReader reader(640, 480, lookUp);
        if (pixelBuffers) {
            EXPECT_TRUE(reader.pipelined()) << "the test GL has pixel buffer objects";
        }
        EXPECT_EQ(reader.frameBytes(), 640u * 480u * 4u);
        std::vector<capture::RgbImage> expected, got;
        std::vector<uint8_t> bytes;
        EXPECT_FALSE(reader.take(&bytes)) << "nothing started yet";
        for (int k = 0; k < 3; ++k) {
            drawTestFrame(k);
            expected.push_back(capture::readFrame(640, 480));
            const uint8_t* given = bytes.data();
            const bool previous = reader.start(&bytes);
            EXPECT_EQ(previous, k > 0) << k;
            // A buffer of a whole frame is read into as it stands (the capture hands the same few
            // round): nothing allocated.
            if (pixelBuffers && k > 1) {
                EXPECT_EQ(bytes.data(), given) << k;
            }
            if (previous) got.push_back(capture::bgraBottomUpToRgb(bytes.data(), 640, 480));
            drawTestFrame(3);  // the next frame's drawing must not reach the one being read
        }
        ASSERT_TRUE(reader.take(&bytes));
        got.push_back(capture::bgraBottomUpToRgb(bytes.data(), 640, 480));
        EXPECT_FALSE(reader.take(&bytes)) << "each frame is handed over once";
        expectNoGlError("pipelined reads");
        ASSERT_EQ(got.size(), 3u);
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(got[k].width, 640);
            EXPECT_EQ(got[k].height, 480);
            EXPECT_TRUE(got[k].pixels == expected[k].pixels) << "frame " << k;
        }
        EXPECT_FALSE(expected[0].pixels == expected[1].pixels) << "the frames differ";
    }
}

}  // namespace
