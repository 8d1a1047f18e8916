#include "effects/ScreenLayers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "effects/LayerFixtures.h"
#include "support/GlTestContext.h"

namespace {

using namespace testfixtures;
using effects::drawLetterboxLayer;
using effects::drawRingBand;
using effects::drawScreenQuad;

class ScreenLayers : public testsupport::GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        clearTo(0.0f);
        glColor4f(1, 1, 1, 1);
    }
};

// The expected screen ortho: x 0..width -> -1..1, y 0..height -> 1..-1 (y down), z negated.
void expectScreenOrtho(int width, int height) {
    const auto p = matrix(GL_PROJECTION_MATRIX);
    EXPECT_FLOAT_EQ(p[0], 2.0f / width);
    EXPECT_FLOAT_EQ(p[5], -2.0f / height);
    EXPECT_FLOAT_EQ(p[10], -1.0f);
    EXPECT_FLOAT_EQ(p[12], -1.0f);
    EXPECT_FLOAT_EQ(p[13], 1.0f);
    EXPECT_TRUE(isIdentity(matrix(GL_MODELVIEW_MATRIX)));
}

TEST_F(ScreenLayers, ScreenQuadIsOpaqueUprightAndLeavesItsState) {
    const auto tex = rowTexture({{200, 0, 0}, {0, 0, 200}});  // red at the bottom, blue on top
    glColor4f(1, 1, 1, 0.25f);
    glEnable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glShadeModel(GL_SMOOTH);
    glViewport(0, 104, 100, 100);
    drawScreenQuad(640, 480, *tex);
    expectNoGlError("drawScreenQuad");

    EXPECT_EQ(pixelAt(5, 470), (Rgb{0, 0, 200}));  // opaque despite alpha 0.25: blending off
    EXPECT_EQ(pixelAt(635, 5), (Rgb{200, 0, 0}));
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, 640, 480}));
    expectScreenOrtho(640, 480);
    EXPECT_FALSE(enabled(GL_BLEND));
    EXPECT_FALSE(enabled(GL_DEPTH_TEST));
    EXPECT_FALSE(enabled(GL_CULL_FACE));
    EXPECT_EQ(integer(GL_DEPTH_WRITEMASK), GL_FALSE);
    EXPECT_EQ(integer(GL_SHADE_MODEL), GL_FLAT);
    EXPECT_FLOAT_EQ(colour()[3], 0.25f);  // colour not set
    EXPECT_TRUE(enabled(GL_TEXTURE_2D));
}

TEST_F(ScreenLayers, ScreenQuadAtAnOffsetCoversOnlyItsArea) {
    const auto tex = rowTexture({{200, 0, 0}, {0, 0, 200}});
    effects::drawScreenQuadAt(124, 16, 128, 64, *tex);
    expectNoGlError("drawScreenQuadAt");
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{124, 16, 128, 64}));
    expectScreenOrtho(128, 64);
    EXPECT_EQ(integer(GL_SHADE_MODEL), GL_FLAT);
    struct Case {
        int x, y;
        Rgb wanted;
    };
    // Corners inside (bottom rows red, top rows blue), then just outside each edge.
    for (const Case c : {Case{124, 16, {200, 0, 0}}, Case{251, 16, {200, 0, 0}}, Case{124, 79, {0, 0, 200}},
                         Case{251, 79, {0, 0, 200}}, Case{123, 16, {0, 0, 0}}, Case{252, 16, {0, 0, 0}},
                         Case{124, 15, {0, 0, 0}}, Case{124, 80, {0, 0, 0}}})
        EXPECT_EQ(pixelAt(c.x, c.y), c.wanted) << c.x << ", " << c.y;
}

TEST_F(ScreenLayers, LetterboxLayerFillsTheBandAndLeavesItsState) {
    struct Case {
        int width, height;
    };
    for (const Case c : {Case{640, 480}, Case{320, 300}}) {
        clearTo(0.0f);
        const auto tex = solidTexture({100, 150, 200});
        drawLetterboxLayer(1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 1.0f, c.width, c.height, *tex);
        expectNoGlError("drawLetterboxLayer");
        const int top = c.height - 104;  // first row above the band
        for (int x : {0, c.width / 2, c.width - 1}) {
            EXPECT_EQ(pixelAt(x, 103), (Rgb{0, 0, 0})) << c.width << " x " << x;
            EXPECT_EQ(pixelAt(x, 104), (Rgb{100, 150, 200})) << c.width << " x " << x;
            EXPECT_EQ(pixelAt(x, top - 1), (Rgb{100, 150, 200})) << c.width << " x " << x;
            EXPECT_EQ(pixelAt(x, top), (Rgb{0, 0, 0})) << c.width << " x " << x;
        }
        EXPECT_EQ(pixelAt(c.width, 200), (Rgb{0, 0, 0})) << c.width;
        EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 104, c.width, c.height - 208}));
        expectScreenOrtho(c.width, c.height);
    }
    EXPECT_TRUE(enabled(GL_BLEND));
    EXPECT_EQ(integer(GL_BLEND_SRC), GL_SRC_ALPHA);
    EXPECT_EQ(integer(GL_BLEND_DST), GL_ONE);
    EXPECT_FALSE(enabled(GL_DEPTH_TEST));
    EXPECT_FALSE(enabled(GL_CULL_FACE));
    EXPECT_EQ(integer(GL_DEPTH_WRITEMASK), GL_FALSE);
    EXPECT_EQ(integer(GL_SHADE_MODEL), GL_SMOOTH);
    EXPECT_EQ(colour(), (std::array<float, 4>{1, 1, 1, 1}));
}

TEST_F(ScreenLayers, LetterboxLayerAddsWithClampedAlpha) {
    struct Case {
        float alpha;
        unsigned char expected;  // over grey 100 with a texel of 80
    };
    for (const Case c : {Case{0.0f, 100}, Case{0.5f, 140}, Case{1.0f, 180}, Case{4.0f, 180}, Case{-1.0f, 100}}) {
        clearTo(100.0f / 255.0f);
        const auto tex = solidTexture({80, 80, 80});
        drawLetterboxLayer(c.alpha, 0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 640, 480, *tex);
        EXPECT_NEAR(pixelAt(320, 240)[0], c.expected, 1) << c.alpha;
        EXPECT_FLOAT_EQ(colour()[3], c.alpha);
    }
}

TEST_F(ScreenLayers, LetterboxLayerOffsetScaleAndTurn) {
    const auto tex = solidTexture({255, 255, 255});
    // Half the width and half the height, moved 100 pixels right: x 260..580 of the band.
    drawLetterboxLayer(1.0f, 0.0f, 100.0f, 0.0f, 0.5f, 0.5f, 640, 480, *tex);
    EXPECT_EQ(pixelAt(258, 240)[0], 0);
    EXPECT_EQ(pixelAt(262, 240)[0], 255);
    EXPECT_EQ(pixelAt(578, 240)[0], 255);
    EXPECT_EQ(pixelAt(582, 240)[0], 0);
    // The turn acts on the unit square before the stretch: it turns the picture, not the layer's
    // outline. Red at the bottom of the texture, blue on top.
    const auto halves = rowTexture({{255, 0, 0}, {0, 0, 255}});
    const Rgb red{255, 0, 0}, blue{0, 0, 255};
    struct Case {
        float angle;
        Rgb top, bottom, left, right;
    };
    for (const Case c : {Case{0, blue, red, red, red}, Case{180, red, blue, blue, blue}}) {
        clearTo(0.0f);
        drawLetterboxLayer(1.0f, c.angle, 0.0f, 0.0f, 1.0f, 1.0f, 640, 480, *halves);
        EXPECT_EQ(pixelAt(320, 370), c.top) << c.angle;
        EXPECT_EQ(pixelAt(320, 110), c.bottom) << c.angle;
        EXPECT_EQ(pixelAt(5, 200), c.left) << c.angle;
        EXPECT_EQ(pixelAt(635, 200), c.right) << c.angle;
    }
    clearTo(0.0f);
    drawLetterboxLayer(1.0f, 90.0f, 0.0f, 0.0f, 1.0f, 1.0f, 640, 480, *halves);
    EXPECT_EQ(pixelAt(320, 370), pixelAt(320, 110));
    EXPECT_NE(pixelAt(5, 240), pixelAt(635, 240));
    EXPECT_EQ(pixelAt(5, 370), pixelAt(5, 110));
}

TEST_F(ScreenLayers, LetterboxLayerBelowTheBandHeightKeepsTheViewport) {
    // The composer's flash and swell layers: 128 x 128 with scale (1, -2) into 512 x 256.
    const auto tex = rowTexture({{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}});
    glViewport(0, 0, 512, 256);
    drawLetterboxLayer(1.0f, 0.0f, 0.0f, 0.0f, 1.0f, -2.0f, 128, 128, *tex);
    expectNoGlError("drawLetterboxLayer with height 128");
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, 512, 256}));
    // Flipped and stretched: the middle half of the texture fills the area, t = 0.25 at the top.
    EXPECT_EQ(pixelAt(10, 250), (Rgb{0, 255, 0}));
    EXPECT_EQ(pixelAt(500, 130), (Rgb{0, 255, 0}));
    EXPECT_EQ(pixelAt(10, 125), (Rgb{0, 0, 255}));
    EXPECT_EQ(pixelAt(500, 2), (Rgb{0, 0, 255}));
    EXPECT_EQ(pixelAt(520, 100), (Rgb{0, 0, 0}));
    EXPECT_EQ(pixelAt(100, 260), (Rgb{0, 0, 0}));
}

// Everything drawLetterboxLayer leaves that a later pass can read.
struct LayerState {
    std::array<GLint, 4> viewport;
    std::array<float, 16> projection, modelView;
    std::array<float, 4> colour;
    bool blend, depthTest, cullFace, texture2d;
    GLint depthMask, shadeModel, blendSrc, blendDst, boundTexture;
    bool operator==(const LayerState& o) const {
        return viewport == o.viewport && projection == o.projection && modelView == o.modelView &&
               colour == o.colour && blend == o.blend && depthTest == o.depthTest && cullFace == o.cullFace &&
               texture2d == o.texture2d && depthMask == o.depthMask && shadeModel == o.shadeModel &&
               blendSrc == o.blendSrc && blendDst == o.blendDst && boundTexture == o.boundTexture;
    }
};
LayerState layerState() {
    return {viewport(),
            matrix(GL_PROJECTION_MATRIX),
            matrix(GL_MODELVIEW_MATRIX),
            colour(),
            enabled(GL_BLEND),
            enabled(GL_DEPTH_TEST),
            enabled(GL_CULL_FACE),
            enabled(GL_TEXTURE_2D),
            integer(GL_DEPTH_WRITEMASK),
            integer(GL_SHADE_MODEL),
            integer(GL_BLEND_SRC),
            integer(GL_BLEND_DST),
            integer(GL_TEXTURE_BINDING_2D)};
}

TEST_F(ScreenLayers, AddedLayerSkipsOnlyWhatAddsNothingAndLeavesTheSameState) {
    const auto tex = solidTexture({100, 150, 200});
    const auto other = solidTexture({10, 20, 30});
    struct Case {
        float alpha;
        int width, height;  // 128 x 128: the viewport in force stays
        Rgb expected;       // at the band's centre, over a grey of 40
    };
    const Case cases[] = {{0.0f, 640, 480, {40, 40, 40}},  {-0.5f, 640, 480, {40, 40, 40}},
                          {-2.0f, 128, 128, {40, 40, 40}}, {0.5f, 640, 480, {90, 115, 140}},
                          {1.0f, 128, 128, {140, 190, 240}}};
    for (const Case& c : cases) {
        // The state the full layer leaves, from a different starting state.
        glViewport(0, 0, 512, 256);
        drawScreenQuad(512, 256, *other);
        clearTo(40.0f / 255.0f);
        glViewport(0, 0, 512, 256);
        drawLetterboxLayer(c.alpha, 0.0f, 0.0f, 0.0f, 1.0f, 1.0f, c.width, c.height, *tex);
        const LayerState drawn = layerState();

        glViewport(0, 0, 512, 256);
        drawScreenQuad(512, 256, *other);
        glColor4f(0.5f, 0.5f, 0.5f, 0.5f);
        clearTo(40.0f / 255.0f);
        glViewport(0, 0, 512, 256);
        effects::addLetterboxLayer(c.alpha, 0.0f, 0.0f, 0.0f, 1.0f, 1.0f, c.width, c.height, *tex);
        expectNoGlError("addLetterboxLayer");
        EXPECT_TRUE(layerState() == drawn) << c.alpha << " " << c.width;
        const int y = c.width == 128 ? 128 : 240;
        const Rgb p = pixelAt(c.width == 128 ? 256 : 320, y);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(p[k], c.expected[k], 1) << c.alpha << " " << c.width << " " << k;
    }
}

TEST_F(ScreenLayers, NeverUploadedTextureDrawsFlatWhite) {
    assets::Texture blank(3);
    drawLetterboxLayer(1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 640, 480, blank);
    EXPECT_FALSE(enabled(GL_TEXTURE_2D));
    EXPECT_EQ(pixelAt(320, 240), (Rgb{255, 255, 255}));
    expectNoGlError("untextured layer");
}

// Polygons of a feedback-mode run: each a list of (x, y, z) window coordinates and (s, t).
struct FeedbackVertex {
    float x, y, z, s, t;
};
std::vector<std::vector<FeedbackVertex>> feedbackPolygons(const std::function<void()>& draw) {
    std::vector<GLfloat> buffer(1 << 16);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint n = glRenderMode(GL_RENDER);
    std::vector<std::vector<FeedbackVertex>> polygons;
    for (GLint k = 0; k < n;) {
        const auto token = static_cast<GLint>(buffer[k++]);
        if (token != GL_POLYGON_TOKEN) {
            ADD_FAILURE() << "unexpected feedback token " << token;
            break;
        }
        const auto count = static_cast<int>(buffer[k++]);
        std::vector<FeedbackVertex> poly;
        for (int v = 0; v < count; ++v, k += 11)  // x y z, r g b a, s t r q
            poly.push_back({buffer[k], buffer[k + 1], buffer[k + 2], buffer[k + 7], buffer[k + 8]});
        polygons.push_back(poly);
    }
    return polygons;
}

class RingBand : public ScreenLayers {
protected:
    void SetUp() override {
        ScreenLayers::SetUp();
        glViewport(0, 0, 400, 400);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-2, 2, -2, 2, -10, 10);  // window x = 100 (X + 2), y likewise
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }
};

TEST_F(RingBand, QuadsRunAroundTheAxisWithTheirTextureSpan) {
    const auto tex = solidTexture({255, 255, 255});
    const int segments = 4;
    const double phase = 0.3, radius = 1.5;
    const auto polys = feedbackPolygons(
        [&] { drawRingBand(segments, phase, 0.5, radius, -1, 2, 0.25, 0.75, 0.1, 0.9, *tex); });
    // Each quad comes back as one polygon or two triangles; gather its corners.
    std::vector<FeedbackVertex> corners;
    for (const auto& p : polys) corners.insert(corners.end(), p.begin(), p.end());
    ASSERT_FALSE(corners.empty());
    for (const FeedbackVertex& v : corners) {
        const double X = v.x / 100.0 - 2, Y = v.y / 100.0 - 2;
        EXPECT_NEAR(std::hypot(X, Y), radius, 0.02);
        double a = std::atan2(Y, X) - phase;
        while (a < -1e-3) a += 6.2832;
        const double step = a / (6.2832 / segments);  // which corner around the ring
        EXPECT_NEAR(step, std::round(step), 0.01);
        const double expectedU = 0.25 + 0.5 * std::round(step) / segments;
        // The seam: corner 4 is corner 0 again, at u = uTo.
        EXPECT_TRUE(std::fabs(v.s - expectedU) < 1e-4 || std::fabs(v.s - (expectedU - 0.5)) < 1e-4 ||
                    std::fabs(v.s - (expectedU + 0.5)) < 1e-4)
            << v.s;
        EXPECT_TRUE(std::fabs(v.t - 0.1f) < 1e-5 || std::fabs(v.t - 0.9f) < 1e-5) << v.t;
    }
    EXPECT_TRUE(polys.size() == segments || polys.size() == 2 * segments) << polys.size();
    expectNoGlError("ring band");
}

TEST_F(RingBand, SignOfSegmentsSelectsTheBlend) {
    struct Case {
        int segments;
        GLint dst;
        std::size_t polygons;  // quads drawn (counted as polygons or triangle pairs)
        float alpha;
    };
    const auto tex = solidTexture({128, 128, 128});
    for (const Case c : {Case{3, GL_ONE, 3, 0.4f}, Case{0, GL_SRC_COLOR, 0, 1.0f}, Case{-5, GL_SRC_COLOR, 5, 1.0f}}) {
        const auto polys =
            feedbackPolygons([&] { drawRingBand(c.segments, 0, 0.4, 1, -1, 1, 0, 1, 0, 1, *tex); });
        EXPECT_TRUE(polys.size() == c.polygons || polys.size() == 2 * c.polygons) << c.segments;
        EXPECT_EQ(integer(GL_BLEND_DST), c.dst) << c.segments;
        EXPECT_EQ(integer(GL_BLEND_SRC), c.segments > 0 ? GL_SRC_ALPHA : GL_ZERO) << c.segments;
        EXPECT_FLOAT_EQ(colour()[3], c.alpha) << c.segments;
        EXPECT_FALSE(enabled(GL_BLEND));
        EXPECT_TRUE(enabled(GL_DEPTH_TEST));
        EXPECT_FALSE(enabled(GL_CULL_FACE));
        EXPECT_EQ(integer(GL_DEPTH_WRITEMASK), GL_FALSE);
        EXPECT_EQ(integer(GL_SHADE_MODEL), GL_SMOOTH);
    }
}

TEST_F(RingBand, MultiplyingBandDarkensThePicture) {
    // Seen from the side the band covers a strip; a 50% grey texture halves the picture there.
    clearTo(200.0f / 255.0f);
    glViewport(0, 0, 400, 400);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-2, 2, -2, 2, -10, 10);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(-90, 1, 0, 0);  // z axis up the screen
    const auto tex = solidTexture({128, 128, 128});
    drawRingBand(-8, 0, 0.0, 1, -1, 1, 0, 1, 0, 1, *tex);
    // Front and back wall both multiply: 200 * 0.5 * 0.5. Alpha 0 is ignored when multiplying.
    EXPECT_NEAR(pixelAt(200, 200)[0], 50, 2);
    EXPECT_EQ(pixelAt(200, 390)[0], 200);       // above the band
}

}  // namespace
