// A faint additive sprite drawn over its trimmed part only leaves the same frame as the whole
// quad, wherever it stands in a perspective view.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "assets/TexelBounds.h"
#include "assets/Texture.h"
#include "content/SpriteTrim.h"
#include "support/GlTestContext.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr int kBackground = 10;  // far from both ends, so that nothing saturates

// A side x side mipmapped RGB picture: a soft round blob, brightest in the middle, with a wide
// dim rim and black corners, as the swarm's particle is.
std::unique_ptr<assets::Texture> blob(int side) {
    std::unique_ptr<unsigned char[]> pixels(new unsigned char[static_cast<std::size_t>(side) * side * 3]);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const double r = std::hypot(x + 0.5 - side / 2.0, y + 0.5 - side / 2.0) / (0.48 * side);
            const double v = std::max(0.0, 1.0 - r);
            for (int c = 0; c < 3; ++c)
                pixels[(static_cast<std::size_t>(y) * side + x) * 3 + c] =
                    static_cast<unsigned char>(std::lround(255 * v * v * (c == 2 ? 1.0 : 0.8)));
        }
    return std::make_unique<assets::Texture>(std::move(pixels), side, side, 24, 3);
}

struct Placement {
    const char* name;
    float distance;  // of the quad's centre in front of the eye
    float size;      // its side
    float tiltX, tiltY;  // degrees about x, then y
    float shiftX;        // sideways, so that part of it may leave the view
    float alpha;
};

class SpriteTrimDrawTest : public testsupport::GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        glViewport(0, 0, kWidth, kHeight);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glFrustum(-0.1, 0.1, -0.075, 0.075, 0.1, 1000.0);
        glMatrixMode(GL_MODELVIEW);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
        glDisable(GL_LIGHTING);
        glDisable(GL_FOG);
        glEnable(GL_TEXTURE_2D);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    }
    void TearDown() override {
        glDisable(GL_BLEND);
        glDisable(GL_TEXTURE_2D);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }

    static void place(const Placement& p) {
        glLoadIdentity();
        glTranslatef(p.shiftX, 0.0f, -p.distance);
        glRotatef(p.tiltX, 1.0f, 0.0f, 0.0f);
        glRotatef(p.tiltY, 0.0f, 1.0f, 0.0f);
        glScalef(p.size, p.size, 1.0f);
        glTranslatef(-0.5f, -0.5f, 0.0f);
    }

    // Clears, draws the part r of the unit quad on `plane` (the whole quad for the whole
    // square) and reads the frame back.
    static std::vector<unsigned char> draw(const content::TexturedPlane& plane, const assets::TexelBounds::Region& r,
                                           float alpha) {
        glClearColor(kBackground / 255.0f, kBackground / 255.0f, kBackground / 255.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glColor4f(0.7f, 0.7f, 1.0f, alpha);
        const float st[4][2] = {{r.s0, r.t1}, {r.s1, r.t1}, {r.s1, r.t0}, {r.s0, r.t0}};
        glBegin(GL_QUADS);
        for (const auto& c : st) {
            double p[3];
            plane.at(c[0], c[1], p);
            glTexCoord2f(c[0], c[1]);
            glVertex3d(p[0], p[1], p[2]);
        }
        glEnd();
        std::vector<unsigned char> pixels(static_cast<std::size_t>(kWidth) * kHeight * 4);
        glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }
};

TEST_F(SpriteTrimDrawTest, TrimmedQuadsLeaveTheFrameTheWholeQuadLeaves) {
    const int side = 128;
    const auto texture = blob(side);
    texture->bind();
    const assets::TexelBounds bounds = assets::TexelBounds::of(*texture);
    const content::SpriteTrim trim{&bounds, side, side, kWidth, kHeight};
    // The unit quad's plane: (s, t) at (s, 1 - t, 0), as the show's sprites carry it.
    const content::TexturedPlane plane{{0.0, 1.0, 0.0}, {1.0, 0.0, 0.0}, {0.0, -1.0, 0.0}};
    const Placement placements[] = {
        {"near, face on", 2.0f, 3.0f, 0.0f, 0.0f, 0.0f, 0.0105f},   // larger than the view
        {"close, face on", 6.0f, 2.0f, 0.0f, 0.0f, 0.0f, 0.008f},   // level 0, magnified
        {"tilted", 5.0f, 2.0f, 55.0f, -30.0f, 0.3f, 0.0105f},       // levels vary across it
        {"half out of view", 4.0f, 1.5f, 10.0f, 0.0f, 0.9f, 0.012f},
        {"far", 60.0f, 2.0f, 20.0f, 0.0f, 0.0f, 0.0105f},           // minified, coarse levels
        {"brighter", 8.0f, 2.0f, 0.0f, 35.0f, 0.0f, 0.05f},
        {"too faint", 6.0f, 2.0f, 0.0f, 0.0f, 0.0f, 0.001f},        // adds nothing at all
    };
    int trimmed = 0;
    for (const Placement& p : placements) {
        SCOPED_TRACE(p.name);
        place(p);
        double clipFromObject[16];
        content::currentClipFromObject(clipFromObject);
        const assets::TexelBounds::Region part = trim.regionFor(plane, clipFromObject, p.alpha);
        const std::vector<unsigned char> whole = draw(plane, {0.0f, 1.0f, 0.0f, 1.0f}, p.alpha);
        int lit = 0;
        for (std::size_t i = 0; i < whole.size(); i += 4) lit += whole[i + 2] != kBackground;
        if (part.empty()) {
            EXPECT_EQ(lit, 0) << "left out, yet the whole quad adds to " << lit << " pixels";
            continue;
        }
        EXPECT_GT(lit, 0) << "the whole quad adds nothing: the case tests nothing";
        trimmed += (part.s1 - part.s0) * (part.t1 - part.t0) < 0.6f;
        const std::vector<unsigned char> kept = draw(plane, part, p.alpha);
        int off = 0, worst = 0;
        for (std::size_t i = 0; i < whole.size(); ++i) {
            const int d = std::abs(whole[i] - kept[i]);
            worst = std::max(worst, d);
            off += d > 0;
        }
        // Only the interpolation over other corners differs: a level now and then.
        EXPECT_LE(worst, 1);
        EXPECT_LE(off, kWidth * kHeight / 2000) << "components off";
    }
    EXPECT_GE(trimmed, 3) << "the trim should leave out most of the rim of the near sprites";
    expectNoGlError("drawing");
}

}  // namespace
