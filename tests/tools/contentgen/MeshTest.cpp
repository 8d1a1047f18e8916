// The pack's sphere meshes, read back through the program's own loader.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "SphereMesh.h"
#include "assets/AssetFixtures.h"
#include "assets/Object3D.h"

namespace {

using contentgen::SphereSpec;

struct MeshCase {
    const char* name;
    const SphereSpec* spec;
    float normalSign;  // +1: every normal points away from the centre, -1: towards it
};

class SphereMeshTest : public ::testing::TestWithParam<MeshCase> {
protected:
    // Loads the mesh bytes through Object3D::loadGeometry (no GL needed).
    void load(const std::vector<uint8_t>& bytes) {
        assettest::writeFile("data/mesh.ob3", bytes);
        ASSERT_TRUE(mesh.loadGeometry("data\\mesh.ob3"));
    }
    const float* position(int v) const { return &mesh.positions[3 * v]; }

    assettest::ScratchDir scratch;
    assets::Object3D mesh;
};

TEST_P(SphereMeshTest, FormatSizeNormalsAndSeamlessTextureCoordinates) {
    const MeshCase& c = GetParam();
    const std::vector<uint8_t> bytes = contentgen::makeSphereOb3(*c.spec);
    load(bytes);
    ASSERT_EQ(bytes.size(), 4u + 6u * mesh.vertexCount + 20u * mesh.faceCount);

    // Every vertex normal (and every face normal) points the way the sphere faces, so that with
    // OpenGL's counter-clockwise front faces and culling on, the ball shows its outside and the
    // star sphere its inside.
    for (int v = 0; v < mesh.vertexCount; ++v) {
        const float* p = position(v);
        const float* n = &mesh.vertexNormals[3 * v];
        const float len = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
        ASSERT_NEAR(len, c.spec->radius, 1.0f) << "vertex " << v;
        ASSERT_GT(c.normalSign * (p[0] * n[0] + p[1] * n[1] + p[2] * n[2]) / len, 0.95f) << "vertex " << v;
    }
    for (int f = 0; f < mesh.faceCount; ++f) {
        const assets::Object3DFace& face = mesh.faces[f];
        float centre[3] = {0, 0, 0};
        for (int k = 0; k < 3; ++k)
            for (int a = 0; a < 3; ++a) centre[a] += position(face.corners[k])[a] / 3.0f;
        const float* n = &mesh.faceNormals[3 * f];
        ASSERT_GT(c.normalSign * (centre[0] * n[0] + centre[1] * n[1] + centre[2] * n[2]), 0.0f) << "face " << f;

        // No face wraps across the seam: s stays continuous within every triangle, and the
        // coordinates cover 0 ... repeats around and 0 ... 1 from pole to pole.
        const float* tc = face.texCoords;
        const float sMin = std::min({tc[0], tc[2], tc[4]}), sMax = std::max({tc[0], tc[2], tc[4]});
        ASSERT_LE(sMax - sMin, 2.0f * c.spec->sRepeats / c.spec->segments + 1e-6f) << "face " << f;
        ASSERT_GE(sMin, 0.0f);
        ASSERT_LE(sMax, static_cast<float>(c.spec->sRepeats));
        for (int k = 0; k < 3; ++k) {
            ASSERT_GE(tc[2 * k + 1], 0.0f);
            ASSERT_LE(tc[2 * k + 1], 1.0f);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Pack, SphereMeshTest,
                         ::testing::Values(MeshCase{"ball", &contentgen::kBallSphere, 1.0f},
                                           MeshCase{"starSphere", &contentgen::kStarSphere, -1.0f}),
                         [](const auto& info) { return std::string(info.param.name); });

// Sizes as the scenes draw them: the ball about 50 world units across its radius, and the star
// sphere, scaled by 50, enclosing every camera position of the orbit (eye at
// (-900 r^2 sin a, -900 r^2 cos a, 1000 r^2 + 5.85) with 0.01 <= r <= 1) with every point of
// it inside the far plane at 30,000.
TEST(SphereMeshScale, BallAndStarSphereFitTheirScenes) {
    const double ballRadius = contentgen::kBallSphere.radius * 0.019125;
    EXPECT_GE(ballRadius, 40.0);
    EXPECT_LE(ballRadius, 60.0);

    double farthestEye = 0.0;
    for (int i = 0; i <= 1000; ++i) {
        const double r2 = std::pow(0.01 + 0.99 * i / 1000.0, 2.0);
        farthestEye = std::max(farthestEye, std::hypot(900.0 * r2, 1000.0 * r2 + 5.85));
    }
    const SphereSpec& s = contentgen::kStarSphere;
    // The nearest point of the faceted sphere: a facet's plane, inside the true sphere.
    const double pi = 3.14159265358979;
    const double inner = 50.0 * s.radius * std::cos(pi / s.segments) * std::cos(pi / s.rings);
    EXPECT_GT(inner, farthestEye * 1.5);
    EXPECT_LT(50.0 * s.radius + farthestEye, 30000.0);
}

TEST(SphereMeshScale, RejectsSpheresTheFormatCannotHold) {
    EXPECT_THROW(contentgen::makeSphereOb3({40000, 8, 8, 1, false}), std::invalid_argument);
    EXPECT_THROW(contentgen::makeSphereOb3({100, 300, 300, 1, false}), std::invalid_argument);
    EXPECT_THROW(contentgen::makeSphereOb3({100, 1, 8, 1, false}), std::invalid_argument);
}

}  // namespace
