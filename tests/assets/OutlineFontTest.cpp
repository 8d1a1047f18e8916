// The outline font's lists, metrics, glyph geometry and text drawing, captured in feedback mode.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "GlReadback.h"
#include "assets/OutlineFont.h"
#include "support/GlTestContext.h"

namespace {

using assets::OutlineFont;
using assettest::Feedback;

constexpr float kDepth = 0.25f;

std::array<float, 16> modelview() {
    std::array<float, 16> m;
    glGetFloatv(GL_MODELVIEW_MATRIX, m.data());
    return m;
}

void expectSameCorners(const Feedback& a, const Feedback& b, const char* what) {
    ASSERT_EQ(a.triangleCorners.size(), b.triangleCorners.size()) << what;
    for (std::size_t i = 0; i < a.triangleCorners.size(); ++i) {
        for (int k = 0; k < 3; ++k) {
            ASSERT_NEAR(a.triangleCorners[i].position[k], b.triangleCorners[i].position[k], 1e-3) << what << " corner " << i;
        }
    }
}

class OutlineFontTest : public testsupport::GlTest {
protected:
    // One font for the whole suite: building 96 extruded glyphs is the slow part.
    static OutlineFont& font() {
        static std::unique_ptr<OutlineFont> shared = std::make_unique<OutlineFont>("arial", kDepth);
        return *shared;
    }
    static const assets::GlyphMetricsFloat& metrics(char c) { return font().glyphMetrics[c - 32]; }

    void SetUp() override {
        GlTest::SetUp();
        if (HasFatalFailure()) return;
        assettest::setPixelSpace();
    }

    // Feedback of draw with the em square scaled to 100 pixels at (100, 100); z is not scaled.
    static Feedback capture(const std::function<void()>& draw, bool normals = false) {
        glPushMatrix();
        glTranslatef(100.0f, 100.0f, 0.0f);
        glScalef(100.0f, 100.0f, 1.0f);
        Feedback f = assettest::captureFeedback(draw, normals);
        glPopMatrix();
        return f;
    }
    static Feedback glyphList(char c) {
        return capture([c] { glCallList(static_cast<GLuint>(font().listBase + c - 32)); });
    }
};

TEST_F(OutlineFontTest, NinetySixListsWithEmMetrics) {
    ASSERT_GT(font().listBase, 0);
    for (int k = 0; k < 96; ++k) EXPECT_TRUE(glIsList(static_cast<GLuint>(font().listBase + k))) << k;
    // Arial's metrics (and those of its metric-compatible stand-ins), in em units.
    EXPECT_NEAR(metrics(' ').gmfCellIncX, 0.278f, 0.005f);
    EXPECT_NEAR(metrics('A').gmfCellIncX, 0.722f, 0.005f);
    EXPECT_NEAR(metrics('A').gmfBlackBoxY, 0.716f, 0.03f);
    EXPECT_GT(metrics('W').gmfCellIncX, metrics('i').gmfCellIncX);
    for (char c = 33; c < 127; ++c) {
        EXPECT_GT(metrics(c).gmfBlackBoxX, 0.0f) << c;
        EXPECT_FALSE(glyphList(c).triangleCorners.empty()) << "glyph " << c;
    }
    EXPECT_TRUE(glyphList(' ').triangleCorners.empty());
}

// Signed areas (em units squared, counter-clockwise positive) of the polygons captured, split into
// those lying at window depth z and all others.
struct Areas {
    double atDepth = 0;
    double positive = 0;  // of all polygons
    double negative = 0;
};
Areas areas(const Feedback& f, float z) {
    Areas out;
    std::size_t first = 0;
    for (int n : f.polygonSizes) {
        const auto* p = &f.triangleCorners[first];
        double a = 0;
        bool flat = true;
        for (int k = 0; k < n; ++k) {
            const auto& u = p[k].position;
            const auto& v = p[(k + 1) % n].position;
            a += 0.5 * (u[0] * v[1] - v[0] * u[1]) / 1e4;
            flat = flat && std::fabs(u[2] - z) < 1e-5f;
        }
        if (flat) out.atDepth += a;
        (a > 0 ? out.positive : out.negative) += a;
        first += static_cast<std::size_t>(n);
    }
    return out;
}

// 'l' is one plain bar: its front face covers exactly its ink box; 'o' has a hole.
TEST_F(OutlineFontTest, GlyphsAreFilledAndExtruded) {
    const assets::GlyphMetricsFloat& l = metrics('l');
    const double box = l.gmfBlackBoxX * l.gmfBlackBoxY;
    const Feedback bar = glyphList('l');
    EXPECT_NEAR(areas(bar, 0.5f).atDepth, box, 1e-3) << "front faces at z = 0, counter-clockwise, covering the bar once";
    EXPECT_NEAR(areas(bar, 0.625f).atDepth, -box, 1e-3) << "back faces at z = -0.25, turned the other way";

    // Seen from the side (turned 90 degrees about y), the walls along the bar's two long edges
    // show as depth x height rectangles, one facing the viewer and one facing away.
    const Areas side = areas(capture([] {
        glRotatef(90.0f, 0.0f, 1.0f, 0.0f);
        glCallList(static_cast<GLuint>(font().listBase + 'l' - 32));
    }), -1.0f);
    EXPECT_NEAR(side.positive, kDepth * l.gmfBlackBoxY, 1e-3);
    EXPECT_NEAR(side.negative, -kDepth * l.gmfBlackBoxY, 1e-3);

    const assets::GlyphMetricsFloat& o = metrics('o');
    const double ring = areas(glyphList('o'), 0.5f).atDepth;
    EXPECT_GT(ring, 0.1 * o.gmfBlackBoxX * o.gmfBlackBoxY);
    EXPECT_LT(ring, 0.6 * o.gmfBlackBoxX * o.gmfBlackBoxY) << "the hole stays open";

    // Normals: +z on the front, -z on the back, unit length in the xy plane on the walls.
    const Feedback normals = capture([] { glCallList(static_cast<GLuint>(font().listBase + 'l' - 32)); }, true);
    ASSERT_EQ(normals.triangleCorners.size(), bar.triangleCorners.size());
    for (std::size_t i = 0; i + 2 < bar.triangleCorners.size(); i += 3) {
        const auto* corner = &bar.triangleCorners[i];
        const float z = corner[0].position[2];
        const bool wall = corner[1].position[2] != z || corner[2].position[2] != z;
        for (int k = 0; k < 3; ++k) {
            const auto& n = normals.triangleCorners[i + k].texCoord;
            if (wall) {
                EXPECT_FLOAT_EQ(n[2], 0.0f) << "wall corner " << i + k;
                EXPECT_NEAR(n[0] * n[0] + n[1] * n[1], 1.0f, 1e-5) << "wall corner " << i + k;
            } else {
                EXPECT_FLOAT_EQ(n[2], z == 0.5f ? 1.0f : -1.0f) << "face corner " << i + k;
            }
        }
    }
}

TEST_F(OutlineFontTest, DrawGlyphCallsItsListAndAdvances) {
    expectSameCorners(capture([] { font().drawGlyph('A', 1.0f, 1.0f, 0.0f, 0.0f); }), glyphList('A'), "'A' draws list 33");
    const float w = metrics('A').gmfCellIncX;
    for (float spacing : {0.0f, 20.0f}) {
        glLoadIdentity();
        EXPECT_EQ(font().drawGlyph('A', 2.0f, 0.5f, 30.0f, spacing), w);
        const auto m = modelview();
        EXPECT_NEAR(m[12], (spacing + 1) * w, 1e-5) << spacing;
        EXPECT_NEAR(m[0], 1.0f, 1e-6) << "only a translation stays";
    }
    for (int c : {31, 128, 200, 0}) {
        const Feedback f = capture([c] {
            const auto before = modelview();
            EXPECT_EQ(font().drawGlyph(static_cast<char>(c), 1, 1, 0, 0), 0.0f);
            EXPECT_EQ(modelview(), before) << c;
        });
        EXPECT_TRUE(f.triangleCorners.empty()) << c;
    }
}

TEST_F(OutlineFontTest, PrintCallsTheListsOfTheFormattedText) {
    EXPECT_TRUE(capture([] { font().print(nullptr); }).triangleCorners.empty());
    const Feedback printed = capture([] { font().print("%d", 42); });
    const Feedback lists = capture([] {
        glCallList(static_cast<GLuint>(font().listBase + '4' - 32));
        glCallList(static_cast<GLuint>(font().listBase + '2' - 32));
    });
    expectSameCorners(printed, lists, "\"42\"");
    GLint base = -1;
    glGetIntegerv(GL_LIST_BASE, &base);
    EXPECT_EQ(base, 0);

    // Text is cut at 255 characters.
    const std::string long300(300, 'l');
    const std::string long255(255, 'l');
    EXPECT_EQ(capture([&] { font().print("%s", long300.c_str()); }).triangleCorners.size(),
              capture([&] { font().print("%s", long255.c_str()); }).triangleCorners.size());
}

TEST_F(OutlineFontTest, PrintTransformedMirrorsAndRestoresTheMatrix) {
    glTranslatef(3.0f, 4.0f, 0.0f);
    const Feedback mirrored = capture([] {
        const auto before = modelview();
        font().printTransformed(0, 0, 1, 0, 1, 1, 0, 0, "%c", 'l');
        EXPECT_EQ(modelview(), before);
    });
    const Feedback plain = capture([] { font().print("l"); });
    ASSERT_EQ(mirrored.triangleCorners.size(), plain.triangleCorners.size());
    ASSERT_FALSE(plain.triangleCorners.empty());
    for (std::size_t i = 0; i < plain.triangleCorners.size(); ++i) {
        // Window y = 104 + 100 * y_em: mirroring about the baseline maps 104 + d to 104 - d.
        EXPECT_NEAR(mirrored.triangleCorners[i].position[1] - 104.0f, -(plain.triangleCorners[i].position[1] - 104.0f), 1e-3);
    }
    EXPECT_TRUE(capture([] { font().printTransformed(0, 0, 1, 0, 1, 1, 0, 0, nullptr); }).triangleCorners.empty());
}

TEST_F(OutlineFontTest, ReleaseDeletesTheLists) {
    OutlineFont own("arial", 0.0f);
    ASSERT_TRUE(glIsList(static_cast<GLuint>(own.listBase + 95)));
    own.release();
    EXPECT_FALSE(glIsList(static_cast<GLuint>(own.listBase)));
    EXPECT_FALSE(glIsList(static_cast<GLuint>(own.listBase + 95)));
}

}  // namespace
