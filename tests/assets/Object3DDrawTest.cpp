// What the mesh drawing operations send to GL, captured in feedback mode.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AssetFixtures.h"
#include "GlReadback.h"
#include "assets/Object3D.h"
#include "support/GlTestContext.h"

namespace {

using assets::Object3D;
using assettest::Feedback;
using Vec3 = std::array<float, 3>;

struct Corner {
    Vec3 position;
    float s, t;
};

// Corners of the captured triangles: positions, and s, t of the plain pass.
std::vector<Corner> corners(const Feedback& f) {
    std::vector<Corner> out;
    for (const auto& v : f.triangleCorners) out.push_back({v.position, v.texCoord[0], v.texCoord[1]});
    return out;
}

std::vector<Vec3> normals(const Feedback& f) {
    std::vector<Vec3> out;
    for (const auto& v : f.triangleCorners) out.push_back({v.texCoord[0], v.texCoord[1], v.texCoord[2]});
    return out;
}

void expectCorners(const std::vector<Corner>& actual, const std::vector<Corner>& expected, const char* what) {
    ASSERT_EQ(actual.size(), expected.size()) << what;
    for (std::size_t i = 0; i < actual.size(); ++i) {
        for (int k = 0; k < 2; ++k) EXPECT_NEAR(actual[i].position[k], expected[i].position[k], 1e-3) << what << " corner " << i;
        EXPECT_NEAR(actual[i].s, expected[i].s, 1e-6) << what << " s of corner " << i;
        EXPECT_NEAR(actual[i].t, expected[i].t, 1e-6) << what << " t of corner " << i;
    }
}

void expectNormals(const std::vector<Vec3>& actual, const std::vector<Vec3>& expected, const char* what) {
    ASSERT_EQ(actual.size(), expected.size()) << what;
    for (std::size_t i = 0; i < actual.size(); ++i) {
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(actual[i][k], expected[i][k], 1e-5) << what << " normal " << i;
    }
}

class Object3DDrawTest : public testsupport::GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        if (HasFatalFailure()) return;
        assettest::setPixelSpace();
        // Corner 0 at (10, 10) with (s, t) = (0, 1), corner 1 at (100, 10) with (1, 1), corner 2
        // at (10, 100) with (0, 0): stored values s = v / 256, t = 1 - v / 256.
        assettest::writeFile("data/tri.ob3", assettest::ob3Bytes({{10, 10, 0}, {100, 10, 0}, {10, 100, 0}},
                                                                {{{0, 1, 2}, 0, {0, 0, 256, 0, 0, 256}}}));
        object.load("data\\tri.ob3");
        ASSERT_TRUE(object.loaded);
    }

    Feedback plain() { return assettest::captureFeedback([this] { object.draw(); }); }
    Feedback withNormals(const std::function<void()>& draw) { return assettest::captureFeedback(draw, true); }

    assettest::ScratchDir dir;
    Object3D object;
    const Vec3 p0{10, 10, 0.5f}, p1{100, 10, 0.5f}, p2{10, 100, 0.5f};
};

TEST_F(Object3DDrawTest, DrawEmitsCornersInOrderAndInsideOutReversed) {
    expectCorners(corners(plain()), {{p0, 0, 1}, {p1, 1, 1}, {p2, 0, 0}}, "plain");
    expectNormals(normals(withNormals([this] { object.draw(); })), {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}}, "plain");
    object.toggleInsideOut();
    expectCorners(corners(plain()), {{p0, 0, 1}, {p2, 0, 0}, {p1, 1, 1}}, "inside out");
    expectNormals(normals(withNormals([this] { object.draw(); })), {{0, 0, -1}, {0, 0, -1}, {0, 0, -1}}, "inside out");
    object.toggleInsideOut();
    EXPECT_FALSE(object.insideOut);
}

TEST_F(Object3DDrawTest, OffsetsShiftOnlyWhatIsSent) {
    object.uOffset = 0.25f;
    object.vOffset = -0.5f;
    expectCorners(corners(plain()), {{p0, 0.25f, 0.5f}, {p1, 1.25f, 0.5f}, {p2, 0.25f, -0.5f}}, "offsets");
    EXPECT_EQ(object.faces[0].texCoords[0], 0.0f);
    EXPECT_EQ(object.faces[0].texCoords[1], 1.0f);
}

TEST_F(Object3DDrawTest, LoadCompilesTheDrawIntoAList) {
    ASSERT_NE(object.displayList, 0u);
    EXPECT_TRUE(glIsList(object.displayList));
    expectCorners(corners(assettest::captureFeedback([this] { object.callDisplayList(); })),
                  {{p0, 0, 1}, {p1, 1, 1}, {p2, 0, 0}}, "list");
}

TEST_F(Object3DDrawTest, ScaleTexCoordsScalesStoredValuesAndRecompiles) {
    object.faces[0].texCoords[0] = 0.5f;
    object.faces[0].texCoords[1] = 0.25f;
    const GLuint before = object.displayList;
    object.scaleTexCoords(2.0f, 2.0f);
    EXPECT_EQ(object.faces[0].texCoords[0], 1.0f);
    EXPECT_EQ(object.faces[0].texCoords[1], 0.5f);
    EXPECT_NE(object.displayList, before);
    EXPECT_TRUE(glIsList(before)) << "the replaced list is kept";
    expectCorners(corners(assettest::captureFeedback([this] { object.callDisplayList(); })),
                  {{p0, 1, 0.5f}, {p1, 2, 2}, {p2, 0, 0}}, "scaled list");
}

TEST_F(Object3DDrawTest, FlatPointsAndBlendedVariants) {
    // Give vertex 1 another normal so face and vertex normals differ.
    object.vertexNormals = {0, 0, 1, 1, 0, 0, 0, 0, 1};
    expectNormals(normals(withNormals([this] { object.drawFlat(); })), {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}}, "flat");
    object.toggleInsideOut();
    expectNormals(normals(withNormals([this] { object.drawFlat(); })), {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}},
                  "flat ignores inside out");
    object.buildBlendedNormalList(1.0f);
    expectNormals(normals(withNormals([this] { object.callDisplayList(); })), {{0, 0, -1}, {-1, 0, 0}, {0, 0, -1}},
                  "blended, a = 1, inside out not looked at");
    object.buildFlatList();
    expectNormals(normals(withNormals([this] { object.callDisplayList(); })), {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}}, "flat list");

    const Feedback points = assettest::captureFeedback([this] { object.drawPoints(); });
    ASSERT_EQ(points.points.size(), 3u);
    EXPECT_TRUE(points.triangleCorners.empty());
    EXPECT_NEAR(points.points[1].position[0], 100.0f, 1e-3);
}

TEST_F(Object3DDrawTest, UnloadedObjectDrawsNothing) {
    Object3D empty;
    const Feedback f = assettest::captureFeedback([&empty] {
        empty.draw();
        empty.drawFlat();
        empty.drawPoints();
    });
    EXPECT_TRUE(f.triangleCorners.empty());
    EXPECT_TRUE(f.points.empty());
    EXPECT_EQ(f.otherTokens, 0);
    expectNoGlError("unloaded draw");
}

}  // namespace
