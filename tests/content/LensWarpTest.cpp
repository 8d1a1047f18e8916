#include <gtest/gtest.h>

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

TEST_F(LensWarp, LeavesItsState) {
    glEnable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_ALWAYS);
    glColor4f(0.5f, 0.5f, 0.5f, 0.5f);
    content::drawLensWarp(0.325f, 0.235f, 180.0f, 640, 480, *target);
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

}  // namespace
