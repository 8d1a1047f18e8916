#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "content/LensWarp.h"
#include "content/Timeline.h"
#include "effects/LayerFixtures.h"
#include "support/GlTestContext.h"

namespace {

using namespace testfixtures;

class LensWarp : public testsupport::GlTest {
protected:
    // The band black with a white 6 x 6 square on the lens centre, copied into the 1024 x 512
    // target the way the composer copies it, then the band cleared.
    void SetUp() override {
        GlTest::SetUp();
        target = std::make_unique<assets::Texture>(1024, 512);
        clearTo(0.0f);
        glEnable(GL_SCISSOR_TEST);
        glScissor(330, 222, 6, 6);
        glClearColor(1, 1, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_SCISSOR_TEST);
        target->bind();
        glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 104, 640, 272);
        clearTo(0.0f);
    }

    std::vector<unsigned char> band() {
        std::vector<unsigned char> pixels(640 * 272 * 4);
        glReadPixels(0, 104, 640, 272, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }

    static int litPixels(const std::vector<unsigned char>& pixels) {
        int n = 0;
        for (std::size_t k = 0; k < pixels.size(); k += 4) n += pixels[k] > 128;
        return n;
    }

    std::unique_ptr<assets::Texture> target;
};

TEST_F(LensWarp, OutsideTheSwellThePictureIsRedrawnInPlace) {
    content::drawLensWarp(0.325f, 0.235f, 180.0f, 640, 480, *target);
    expectNoGlError("lens warp");
    const auto at180 = band();
    EXPECT_EQ(pixelAt(333, 225)[0], 255);
    EXPECT_EQ(pixelAt(333, 245)[0], 0);
    EXPECT_EQ(pixelAt(353, 225)[0], 0);
    EXPECT_NEAR(litPixels(at180), 36, 12);
    clearTo(0.0f);
    content::drawLensWarp(0.325f, 0.235f, -1.0f, 640, 480, *target);
    EXPECT_EQ(band(), at180);  // strength 180 is the unwarped picture
}

TEST_F(LensWarp, AtTheSwellPeakTheCentreIsMagnified) {
    const float s1 = content::swell(352.0f);
    const auto strength = static_cast<float>((1.5 - s1) * (1.25 - s1) * 96);
    EXPECT_NEAR(strength, 1.11, 0.01);
    content::drawLensWarp(0.325f, 0.235f, strength, 640, 480, *target);
    const int lit = litPixels(band());
    EXPECT_GT(lit, 36 * 20);
    EXPECT_EQ(pixelAt(333, 225)[0], 255);
}

// The merged drawing against the cell-by-cell one: the same pixels covered, colours within a
// level, from no lens (180) through a lens over a few cells to the swell's peak.
TEST_F(LensWarp, MergedCellsDrawTheSamePicture) {
    // A picture with detail everywhere (ramps and fine stripes) where the band's copy lies.
    std::vector<unsigned char> ramp(640 * 272 * 4);
    for (int y = 0; y < 272; ++y)
        for (int x = 0; x < 640; ++x) {
            unsigned char* p = &ramp[(y * 640 + x) * 4];
            p[0] = static_cast<unsigned char>((x + y) % 256);
            p[1] = static_cast<unsigned char>((x * 7) % 256);
            p[2] = static_cast<unsigned char>((y * 13) % 256);
            p[3] = 255;
        }
    target->bind();
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 640, 272, GL_RGBA, GL_UNSIGNED_BYTE, ramp.data());
    for (float strength : {180.0f, -1.0f, 40.0f, 10.0f, 3.0f, 1.11f, 0.0f}) {
        clearTo(0.5f);
        content::drawLensWarp(0.325f, 0.235f, strength, 640, 480, *target);
        const auto cells = band();
        clearTo(0.5f);
        content::drawLensWarpMerged(0.325f, 0.235f, strength, 640, 480, *target);
        expectNoGlError("merged lens warp");
        const auto merged = band();
        int largest = 0, changed = 0;
        for (std::size_t k = 0; k < cells.size(); ++k) {
            largest = std::max(largest, std::abs(cells[k] - merged[k]));
            changed += cells[k] != merged[k];
        }
        EXPECT_LE(largest, 1) << strength;
        EXPECT_LE(changed, static_cast<int>(cells.size() / 1000)) << strength;
        EXPECT_GT(litPixels(cells), 1000) << strength;  // the ramp was drawn, not the clear
    }
}

TEST_F(LensWarp, MovedPointsAreTheLensInterior) {
    content::LensGrid grid;
    for (float strength : {180.0f, 10.0f, 1.11f}) {
        content::buildLensGrid(0.325f, 0.235f, strength, grid);
        int moved = 0;
        for (const auto& row : grid)
            for (const auto& p : row) {
                const float d = std::hypot(p.x - 0.325f, p.y - 0.235f);
                EXPECT_EQ(p.moved, d < 1.0f / strength) << strength;
                moved += p.moved;
                if (!p.moved) {
                    EXPECT_NEAR(p.s, p.x, 1e-6f);
                }
            }
        if (strength == 180.0f)
            EXPECT_EQ(moved, 0);
        else
            EXPECT_GT(moved, 0) << strength;
    }
}

TEST_F(LensWarp, LeavesItsState) {
  for (auto warp : {content::drawLensWarp, content::drawLensWarpMerged}) {
    glEnable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_ALWAYS);
    glColor4f(0.5f, 0.5f, 0.5f, 0.5f);
    warp(0.325f, 0.235f, 180.0f, 640, 480, *target);
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 104, 640, 272}));
    EXPECT_FALSE(enabled(GL_BLEND));
    EXPECT_EQ(integer(GL_BLEND_SRC), GL_SRC_ALPHA);
    EXPECT_EQ(integer(GL_BLEND_DST), GL_ONE);
    EXPECT_FALSE(enabled(GL_DEPTH_TEST));
    EXPECT_EQ(integer(GL_DEPTH_WRITEMASK), GL_FALSE);
    EXPECT_FALSE(enabled(GL_CULL_FACE));
    EXPECT_EQ(integer(GL_DEPTH_FUNC), GL_LESS);
    EXPECT_EQ(colour(), (std::array<float, 4>{1, 1, 1, 1}));
    EXPECT_EQ(static_cast<GLuint>(integer(GL_TEXTURE_BINDING_2D)), target->glName);
    EXPECT_TRUE(isIdentity(matrix(GL_MODELVIEW_MATRIX)));
  }
}

}  // namespace
