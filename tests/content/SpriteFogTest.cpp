#include "content/SpriteFog.h"

#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/GlTestContext.h"

namespace {

using content::CornerColours;
using content::foldFog;
using content::LinearFog;

// Fog from 10 to 110 eye units: distance 10 keeps a colour, 60 halves it, 110 blacks it out.
constexpr LinearFog kFog{10.0f, 110.0f};

struct FoldCase {
    const char* name;
    std::array<float, 4> colour;
    std::array<float, 4> eyeZ;
    std::array<float, 4> factors;  // expected at the corners
    std::array<float, 4> clamped;  // the colour as the GL clamps it
};

TEST(SpriteFog, CornerColoursCarryTheFogFactorOfEachCornersDistance) {
    const FoldCase cases[] = {
        {"in front", {0.8f, 0.4f, 0.2f, 0.5f}, {-10.0f, -60.0f, -110.0f, -35.0f}, {1.0f, 0.5f, 0.0f, 0.75f},
         {0.8f, 0.4f, 0.2f, 0.5f}},
        // The GL's fog coordinate is the distance from the eye plane on either side of it.
        {"behind the eye", {0.8f, 0.4f, 0.2f, 0.5f}, {35.0f, -35.0f, 60.0f, -60.0f}, {0.75f, 0.75f, 0.5f, 0.5f},
         {0.8f, 0.4f, 0.2f, 0.5f}},
        {"colour out of range", {1.5f, -0.25f, 1.0f, 2.0f}, {-60.0f, -60.0f, -10.0f, -10.0f}, {0.5f, 0.5f, 1.0f, 1.0f},
         {1.0f, 0.0f, 1.0f, 1.0f}},
    };
    for (const FoldCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto colours = foldFog(kFog, c.colour, c.eyeZ);
        ASSERT_TRUE(colours.has_value());
        for (int k = 0; k < 4; ++k) {
            for (int i = 0; i < 3; ++i) EXPECT_FLOAT_EQ((*colours)[k][i], c.clamped[i] * c.factors[k]) << k << " " << i;
            EXPECT_FLOAT_EQ((*colours)[k][3], c.clamped[3]) << k;  // the fog leaves alpha alone
        }
    }
}

TEST(SpriteFog, NoFoldWhereTheGlWouldClampTheFactor) {
    const std::array<float, 4> colour{1.0f, 1.0f, 1.0f, 1.0f};
    const std::array<float, 4> eyeZs[] = {
        {-9.5f, -60.0f, -60.0f, -60.0f},   // nearer than the start
        {-60.0f, -60.0f, -110.5f, -60.0f},  // beyond the end
        {-60.0f, 9.0f, -60.0f, -60.0f},     // near the eye plane, behind it
        {-60.0f, -60.0f, -60.0f, 0.0f},     // on the eye plane
    };
    for (const auto& eyeZ : eyeZs) EXPECT_FALSE(foldFog(kFog, colour, eyeZ).has_value()) << eyeZ[0] << " " << eyeZ[1] << " " << eyeZ[2] << " " << eyeZ[3];
    EXPECT_FALSE(foldFog({50.0f, 50.0f}, colour, {-50.0f, -50.0f, -50.0f, -50.0f}).has_value());
}

// Drawing: a quad lying on the floor of the view (y = -10 in eye space), textured with a small
// pattern, through a perspective projection, once with the GL's fog and once folded.
class SpriteFogGlTest : public testsupport::GlTest {
protected:
    static constexpr int kWidth = 640, kHeight = 480;

    void SetUp() override {
        GlTest::SetUp();
        glViewport(0, 0, kWidth, kHeight);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glFrustum(-0.4, 0.4, -0.3, 0.3, 0.5, 1000.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
        glDisable(GL_BLEND);
        glDisable(GL_LIGHTING);
        glShadeModel(GL_SMOOTH);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);

        std::vector<unsigned char> texels(16 * 16 * 3);
        for (int i = 0; i < 16 * 16; ++i) {
            texels[3 * i] = static_cast<unsigned char>(255 - 9 * (i % 16));
            texels[3 * i + 1] = static_cast<unsigned char>(128 + 7 * (i / 16));
            texels[3 * i + 2] = static_cast<unsigned char>(((i % 16) ^ (i / 16)) * 16);
        }
        glGenTextures(1, &texture_);
        glBindTexture(GL_TEXTURE_2D, texture_);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 16, 16, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        glEnable(GL_TEXTURE_2D);

        const float black[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        glFogi(GL_FOG_MODE, GL_LINEAR);
        glFogfv(GL_FOG_COLOR, black);
        glFogf(GL_FOG_START, 1.0f);
        glFogf(GL_FOG_END, 150.0f);
        glFogi(GL_FOG_COORDINATE_SOURCE, GL_FRAGMENT_DEPTH);
        glEnable(GL_FOG);
    }

    void TearDown() override {
        glDisable(GL_FOG);
        glDisable(GL_TEXTURE_2D);
        glDeleteTextures(1, &texture_);
    }

    // The quad with corners at eye-space depths `nearZ` and `farZ` (x from -40 to 40), drawn with
    // one colour (nullptr: corner colours given) and read back as RGB rows.
    std::vector<unsigned char> draw(float nearZ, float farZ, const CornerColours* corners) {
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        const float z[4] = {nearZ, nearZ, farZ, farZ};
        const float x[4] = {-40.0f, 40.0f, 40.0f, -40.0f};
        glBegin(GL_QUADS);
        for (int k = 0; k < 4; ++k) {
            if (corners)
                glColor4fv((*corners)[k].data());
            else
                glColor4fv(kColour.data());
            glTexCoord2f(k == 1 || k == 2 ? 4.0f : 0.0f, k >= 2 ? 12.0f : 0.0f);
            glVertex3f(x[k], -10.0f, z[k]);
        }
        glEnd();
        std::vector<unsigned char> pixels(kWidth * kHeight * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }

    static constexpr std::array<float, 4> kColour{0.9f, 0.7f, 1.0f, 1.0f};
    GLuint texture_ = 0;
};

int largestDifference(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
    int largest = 0;
    for (std::size_t i = 0; i < a.size(); ++i) largest = std::max(largest, std::abs(a[i] - b[i]));
    return largest;
}

TEST_F(SpriteFogGlTest, FoldedQuadDrawsAsTheGlsFog) {
    const auto fog = content::foldableFog();
    ASSERT_TRUE(fog.has_value());
    EXPECT_FLOAT_EQ(fog->start, 1.0f);
    EXPECT_FLOAT_EQ(fog->end, 150.0f);

    struct DrawCase {
        const char* name;
        float nearZ, farZ;
    };
    // The second quad reaches behind the eye: the GL clips it, its corners' fog coordinates
    // interpolated to the cut.
    const DrawCase cases[] = {{"in front", -2.0f, -140.0f}, {"through the eye plane", 100.0f, -140.0f}};
    for (const DrawCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto corners = foldFog(*fog, kColour, {c.nearZ, c.nearZ, c.farZ, c.farZ});
        ASSERT_TRUE(corners.has_value());
        const std::vector<unsigned char> fogged = draw(c.nearZ, c.farZ, nullptr);
        glDisable(GL_FOG);
        const std::vector<unsigned char> folded = draw(c.nearZ, c.farZ, &*corners);
        const std::vector<unsigned char> unfogged = draw(c.nearZ, c.farZ, nullptr);
        glEnable(GL_FOG);
        EXPECT_GT(largestDifference(fogged, unfogged), 40);  // the fog darkens the far end well
        EXPECT_LE(largestDifference(fogged, folded), 1);
        std::size_t off = 0;
        for (std::size_t i = 0; i < fogged.size(); ++i) off += fogged[i] != folded[i];
        EXPECT_LE(off, fogged.size() / 1000) << off << " components differ";
        expectNoGlError(c.name);
    }
}

TEST_F(SpriteFogGlTest, NoFoldUnlessTheFogIsLinearBlackAndByDistance) {
    struct StateCase {
        const char* name;
        void (*change)();
        void (*undo)();
    };
    const StateCase cases[] = {
        {"fog off", [] { glDisable(GL_FOG); }, [] { glEnable(GL_FOG); }},
        {"exponential", [] { glFogi(GL_FOG_MODE, GL_EXP); }, [] { glFogi(GL_FOG_MODE, GL_LINEAR); }},
        {"grey fog",
         [] {
             const float grey[4] = {0.0f, 0.1f, 0.0f, 0.0f};
             glFogfv(GL_FOG_COLOR, grey);
         },
         [] {
             const float black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
             glFogfv(GL_FOG_COLOR, black);
         }},
        {"fog coordinates", [] { glFogi(GL_FOG_COORDINATE_SOURCE, GL_FOG_COORDINATE); },
         [] { glFogi(GL_FOG_COORDINATE_SOURCE, GL_FRAGMENT_DEPTH); }},
        {"end before start", [] { glFogf(GL_FOG_END, 0.5f); }, [] { glFogf(GL_FOG_END, 150.0f); }},
        {"lighting", [] { glEnable(GL_LIGHTING); }, [] { glDisable(GL_LIGHTING); }},
        {"texture replaces", [] { glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE); },
         [] { glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE); }},
    };
    for (const StateCase& c : cases) {
        SCOPED_TRACE(c.name);
        c.change();
        EXPECT_FALSE(content::foldableFog().has_value());
        c.undo();
        EXPECT_TRUE(content::foldableFog().has_value());  // a black fog colour's alpha does not matter
    }
    expectNoGlError("fog state");
}

}  // namespace
