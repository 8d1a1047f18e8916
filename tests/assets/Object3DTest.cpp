// The .ob3 loader, its validation, the normals and the deformers (no GL needed: loadGeometry
// skips the display list, and a failed load touches no GL).
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "AssetFixtures.h"
#include "assets/Object3D.h"
#include "datafiles/ArchiveWriter.h"
#include "datafiles/DataFile.h"
#include "platform/FatalError.h"

namespace {

using assets::Object3D;
using assettest::Bytes;
using assettest::Ob3Face;
using Vertices = std::vector<std::array<std::int16_t, 3>>;
using Vec3 = std::array<float, 3>;

Vec3 at(const std::vector<float>& v, int i) { return {v[3 * i], v[3 * i + 1], v[3 * i + 2]}; }

void expectNear(Vec3 actual, Vec3 expected, const std::string& what) {
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(actual[k], expected[k], 1e-4f) << what << " component " << k;
}

Ob3Face face(std::uint16_t a, std::uint16_t b, std::uint16_t c) { return {{a, b, c}, 0, {0, 0, 0, 0, 0, 0}}; }

class Object3DTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous = platform::setFatalErrorHandler([this](const std::string& text) { reports.push_back(text); });
    }
    void TearDown() override { platform::setFatalErrorHandler(previous); }

    // Writes the mesh as data/mesh.ob3 and loads it without a display list.
    bool loadMesh(Object3D& object, const Vertices& vertices, const std::vector<Ob3Face>& faces) {
        assettest::writeFile("data/mesh.ob3", assettest::ob3Bytes(vertices, faces));
        return object.loadGeometry("data\\mesh.ob3");
    }

    assettest::ScratchDir dir;
    std::vector<std::string> reports;
    platform::FatalErrorHandler previous;
};

TEST_F(Object3DTest, NormalsFollowWindingAndDegenerateCases) {
    const Vertices unitTriangle = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    const struct {
        const char* name;
        Vertices vertices;
        std::vector<Ob3Face> faces;
        std::vector<Vec3> faceNormals;
        std::vector<Vec3> vertexNormals;
    } cases[] = {
        {"counter-clockwise", unitTriangle, {face(0, 1, 2)}, {{0, 0, 1}}, {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}}},
        {"clockwise", unitTriangle, {face(0, 2, 1)}, {{0, 0, -1}}, {{0, 0, -1}, {0, 0, -1}, {0, 0, -1}}},
        {"coinciding corners and an unused vertex", unitTriangle, {face(1, 1, 1)}, {{0, 0, 1}},
         {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}}},
        // Vertex 0 is shared by a face in the x = 0 plane and one in the y = 0 plane.
        {"shared vertex", {{0, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 0}}, {face(0, 1, 2), face(0, 2, 3)},
         {{1, 0, 0}, {0, 1, 0}},
         {{0.70710677f, 0.70710677f, 0}, {1, 0, 0}, {0.70710677f, 0.70710677f, 0}, {0, 1, 0}}},
        // Vertex 0 is two corners of a degenerate face (0, 0, 1): that face counts once.
        {"vertex twice in one face", {{0, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {face(0, 0, 1), face(0, 1, 2)},
         {{0, 0, 1}, {1, 0, 0}},
         {{0.70710677f, 0, 0.70710677f}, {0.70710677f, 0, 0.70710677f}, {1, 0, 0}}},
    };
    for (const auto& c : cases) {
        Object3D object;
        ASSERT_TRUE(loadMesh(object, c.vertices, c.faces)) << c.name;
        for (std::size_t j = 0; j < c.faceNormals.size(); ++j) {
            expectNear(at(object.baseFaceNormals, static_cast<int>(j)), c.faceNormals[j],
                       std::string(c.name) + " face " + std::to_string(j));
        }
        for (std::size_t i = 0; i < c.vertexNormals.size(); ++i) {
            expectNear(at(object.baseVertexNormals, static_cast<int>(i)), c.vertexNormals[i],
                       std::string(c.name) + " vertex " + std::to_string(i));
        }
        EXPECT_EQ(object.positions, object.basePositions) << c.name;
        EXPECT_EQ(object.vertexNormals, object.baseVertexNormals) << c.name;
        EXPECT_EQ(object.faceNormals, object.baseFaceNormals) << c.name;
    }
}

// The single pass over the faces gives bit for bit what scanning every face for every vertex
// gives (each vertex sums its faces' normals in face order, a face once).
TEST_F(Object3DTest, VertexNormalsEqualTheFullScan) {
    std::mt19937 random(5);
    std::uniform_int_distribution<int> coordinate(-300, 300);
    std::uniform_int_distribution<int> corner(0, 59);
    Vertices vertices(60);
    for (auto& v : vertices) v = {static_cast<std::int16_t>(coordinate(random)), static_cast<std::int16_t>(coordinate(random)),
                                  static_cast<std::int16_t>(coordinate(random))};
    std::vector<Ob3Face> faces;
    for (int j = 0; j < 400; ++j) {
        const auto a = static_cast<std::uint16_t>(corner(random));
        const auto b = static_cast<std::uint16_t>(j % 7 == 0 ? a : corner(random));
        faces.push_back(face(a, b, static_cast<std::uint16_t>(corner(random))));
    }
    Object3D object;
    ASSERT_TRUE(loadMesh(object, vertices, faces));
    for (int i = 0; i < object.vertexCount; ++i) {
        float sum[3] = {0, 0, 0};
        for (int j = 0; j < object.faceCount; ++j) {
            const int* c = object.faces[j].corners;
            if (c[0] != i && c[1] != i && c[2] != i) continue;
            for (int k = 0; k < 3; ++k) sum[k] += object.baseFaceNormals[3 * j + k];
        }
        const float length = std::sqrt(sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2]);
        const Vec3 expected = length != 0.0f ? Vec3{sum[0] * (1.0f / length), sum[1] * (1.0f / length), sum[2] * (1.0f / length)}
                                             : Vec3{0, 0, 1};
        ASSERT_EQ(at(object.baseVertexNormals, i), expected) << "vertex " << i;
    }
}

TEST_F(Object3DTest, FileValuesConvert) {
    Ob3Face textured = {{0, 1, 2}, 0xBEEF, {0, 0, 128, 128, 256, 256}};
    Ob3Face negative = {{2, 1, 0}, 7, {-128, -128, 0, 0, 0, 0}};
    Object3D object;
    ASSERT_TRUE(loadMesh(object, {{-1, 2, -32768}, {32767, 0, 0}, {0, 0, 1}}, {textured, negative}));
    EXPECT_EQ(object.vertexCount, 3);
    EXPECT_EQ(object.faceCount, 2);
    EXPECT_EQ(at(object.basePositions, 0), (Vec3{-1.0f, 2.0f, -32768.0f})) << "0xFFFF is -1";
    EXPECT_EQ(at(object.positions, 1), (Vec3{32767.0f, 0.0f, 0.0f}));
    const float* st = object.faces[0].texCoords;
    EXPECT_EQ(std::vector<float>(st, st + 6), (std::vector<float>{0.0f, 1.0f, 0.5f, 0.5f, 1.0f, 0.0f}));
    EXPECT_EQ(object.faces[1].texCoords[0], -0.5f);
    EXPECT_EQ(object.faces[1].texCoords[1], 1.5f);
    EXPECT_EQ(object.faces[0].extra, 0xBEEF);
    EXPECT_EQ(object.faces[1].corners[0], 2);
    EXPECT_TRUE(object.loaded);
}

TEST_F(Object3DTest, CountOf0xFFFFIsUnsigned) {
    Object3D object;
    ASSERT_TRUE(loadMesh(object, Vertices(65535, {1, 2, 3}), {face(65534, 0, 1)}));
    EXPECT_EQ(object.vertexCount, 65535);
    EXPECT_EQ(object.faces[0].corners[0], 65534);
}

// Files that would make the loader read past their end or index outside the vertices are
// rejected with the one message; the object stays as it was.
TEST_F(Object3DTest, BadFilesAreReportedAndLeaveTheObjectUnchanged) {
    const Bytes good = assettest::ob3Bytes({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {face(0, 1, 2)});
    const struct {
        const char* name;
        Bytes bytes;
    } cases[] = {
        {"empty", {}},
        {"three bytes", Bytes(good.begin(), good.begin() + 3)},
        {"one byte short", Bytes(good.begin(), good.end() - 1)},
        {"vertices only", Bytes(good.begin(), good.begin() + 4 + 18)},
        {"index equal to V", assettest::ob3Bytes({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {face(0, 3, 2)})},
        {"index 0xFFFF", assettest::ob3Bytes({{0, 0, 0}}, {face(0, 0, 65535)})},
        {"faces without vertices", assettest::ob3Bytes({}, {face(0, 0, 0)})},
    };
    for (const auto& c : cases) {
        assettest::writeFile("data/bad.ob3", c.bytes);
        Object3D fresh;
        reports.clear();
        fresh.load("data\\bad.ob3");
        EXPECT_EQ(reports, std::vector<std::string>{"data\\bad.ob3 cannot load 3dobject"}) << c.name;
        EXPECT_FALSE(fresh.loaded) << c.name;
        EXPECT_EQ(fresh.vertexCount, 0) << c.name;
        EXPECT_EQ(fresh.faceCount, 0) << c.name;
        EXPECT_TRUE(fresh.positions.empty()) << c.name;
    }

    Object3D loaded;
    assettest::writeFile("data/good.ob3", good);
    ASSERT_TRUE(loaded.loadGeometry("data\\good.ob3"));
    assettest::writeFile("data/bad.ob3", Bytes(good.begin(), good.end() - 2));
    EXPECT_FALSE(loaded.loadGeometry("data\\bad.ob3"));
    EXPECT_EQ(loaded.vertexCount, 3) << "a failed reload keeps the mesh";
    EXPECT_EQ(at(loaded.positions, 1), (Vec3{1, 0, 0}));
}

TEST_F(Object3DTest, FileFoundNowhereIsReported) {
    Object3D object;
    object.load("data\\ballo.ob3");
    EXPECT_EQ(reports, std::vector<std::string>{"data\\ballo.ob3 cannot load 3dobject"});
    EXPECT_FALSE(object.loaded);
    EXPECT_EQ(object.faceCount, 0);
}

TEST_F(Object3DTest, MeshMissingFromDataComesFromTheArchive) {
    datafiles::ArchiveOptions options;
    options.passPhrase = datafiles::kDataArchivePassPhrase;
    datafiles::ArchiveWriter writer(options);
    writer.addMember("ballo.ob3", assettest::ob3Bytes({{0, 0, 0}, {0, 5, 0}, {7, 0, 0}}, {face(0, 1, 2)}));
    std::string error;
    ASSERT_TRUE(writer.finishToFile(datafiles::kDataArchivePath, &error)) << error;
    Object3D object;
    ASSERT_TRUE(object.loadGeometry("data\\ballo.ob3"));
    EXPECT_EQ(at(object.positions, 2), (Vec3{7, 0, 0}));
    expectNear(at(object.faceNormals, 0), {0, 0, -1}, "face");
}

// --- deformers ---

// Two vertices with the given base positions and vertex normals, no faces.
void setTwoVertices(Object3D& object, Vec3 b0, Vec3 n0, Vec3 b1, Vec3 n1) {
    object.vertexCount = 2;
    object.allocateArrays();
    object.basePositions = {b0[0], b0[1], b0[2], b1[0], b1[1], b1[2]};
    object.positions = object.basePositions;
    object.baseVertexNormals = {n0[0], n0[1], n0[2], n1[0], n1[1], n1[2]};
    object.vertexNormals = object.baseVertexNormals;
}

TEST_F(Object3DTest, RippleSumPushesAlongNormalsCumulatively) {
    const float halfPi = 1.5707964f;
    Object3D object;
    setTwoVertices(object, {0, 0, 0}, {0, 0, 1}, {halfPi, 0, 0}, {0, 0, 1});
    object.rippleSum(0.0f, 1.0f, 0.0f);
    EXPECT_EQ(object.positions, object.basePositions) << "amount 0";
    object.rippleSum(0.0f, 1.0f, 1.0f);
    expectNear(at(object.positions, 0), {0, 0, 0}, "sin 0 = 0");
    expectNear(at(object.positions, 1), {halfPi, 0, 1}, "sin pi/2 = 1");
    object.rippleSum(0.0f, 1.0f, 1.0f);
    expectNear(at(object.positions, 1), {halfPi, 0, 2}, "twice as far");
    // rippleMixed takes its phase from x - y + z: the same vertex, mirrored in y, moves alike.
    Object3D mixed;
    setTwoVertices(mixed, {0, -halfPi, 0}, {1, 0, 0}, {0, halfPi, 0}, {1, 0, 0});
    mixed.rippleMixed(0.0f, 1.0f, 2.0f);
    expectNear(at(mixed.positions, 0), {2, -halfPi, 0}, "mixed phase");
    expectNear(at(mixed.positions, 1), {-2, halfPi, 0}, "mixed phase");
}

TEST_F(Object3DTest, PulseCubesPerAxisFactors) {
    Object3D object;
    setTwoVertices(object, {0, 0, 0}, {1, 1, 1}, {3, 4, 1}, {1, 1, 1});  // q = 0 for both
    object.pulse(0.0f, 1.0f, 0.5f);
    expectNear(at(object.positions, 0), {0.5f, 4.0f, 0.5f}, "fx = 1, fy = 2, fz = 1");
    expectNear(at(object.positions, 1), {3.5f, 8.0f, 1.5f}, "phase from the base, not the position");
}

TEST_F(Object3DTest, WobbleMovesAxesInTurn) {
    Object3D object;
    setTwoVertices(object, {0, 0, 0}, {1, 1, 0}, {0, 0, 0}, {0, 0, 0});
    object.wobble(0.0f, 1.0f, 1.0f);
    const float x = std::sin(4.3f * 1.03f);
    const float y = std::sin((0.14f * x + 4.1f) * 1.12f);  // y sees the moved x
    expectNear(at(object.positions, 0), {x, y, 0}, "wobble");
    expectNear(at(object.positions, 1), {0, 0, 0}, "zero normal");
}

TEST_F(Object3DTest, RestoreBaseAndRecomputeNormals) {
    Object3D object;
    ASSERT_TRUE(loadMesh(object, {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}}, {face(0, 1, 2)}));
    // Vertex 2 moves to (0, 0, 10): the face now lies in the y = 0 plane.
    object.positions[6] = 0.0f;
    object.positions[7] = 0.0f;
    object.positions[8] = 10.0f;
    object.recomputeNormals();
    expectNear(at(object.faceNormals, 0), {0, -1, 0}, "working face normal");
    expectNear(at(object.vertexNormals, 2), {0, -1, 0}, "working vertex normal");
    expectNear(at(object.baseFaceNormals, 0), {0, 0, 1}, "base untouched");
    object.rippleSum(0.0f, 1.0f, 3.0f);
    object.restoreBase();
    EXPECT_EQ(object.positions, object.basePositions);
    EXPECT_EQ(object.vertexNormals, object.baseVertexNormals);
    EXPECT_EQ(object.faceNormals, object.baseFaceNormals);
}

TEST_F(Object3DTest, BlendNormalCases) {
    const float f[3] = {0, 0, 1};
    const float v[3] = {1, 0, 0};
    float out[3];
    assets::blendNormal(f, f, 0.5f, out);
    expectNear({out[0], out[1], out[2]}, {0, 0, 1}, "zero blend");
    assets::blendNormal(f, v, 0.0f, out);
    expectNear({out[0], out[1], out[2]}, {0, 0, 1}, "a = 0 is the face normal");
    assets::blendNormal(f, v, 1.0f, out);
    expectNear({out[0], out[1], out[2]}, {-1, 0, 0}, "a = 1 is the vertex normal reversed");
    assets::blendNormal(f, v, 0.5f, out);
    expectNear({out[0], out[1], out[2]}, {-0.70710677f, 0, 0.70710677f}, "halfway");
}

}  // namespace
