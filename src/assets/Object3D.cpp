#include "assets/Object3D.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

#include "datafiles/DataFile.h"
#include "platform/FatalError.h"

namespace assets {

namespace {

constexpr std::uint32_t kHeaderBytes = 4;
constexpr std::uint32_t kVertexBytes = 6;
constexpr std::uint32_t kFaceBytes = 20;

// v scaled to unit length in place, or (0, 0, 1) when it has none.
void normalise(float* v) {
    const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (length != 0.0f) {
        const float inverse = 1.0f / length;
        v[0] *= inverse;
        v[1] *= inverse;
        v[2] *= inverse;
    } else {
        v[0] = 0.0f;
        v[1] = 0.0f;
        v[2] = 1.0f;
    }
}

void computeFaceNormals(const std::vector<float>& positions, const std::vector<Object3DFace>& faces,
                        std::vector<float>& out) {
    for (std::size_t j = 0; j < faces.size(); ++j) {
        const float* p0 = &positions[3 * faces[j].corners[0]];
        const float* p1 = &positions[3 * faces[j].corners[1]];
        const float* p2 = &positions[3 * faces[j].corners[2]];
        const float e1[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]};
        const float e2[3] = {p2[0] - p0[0], p2[1] - p0[1], p2[2] - p0[2]};
        float* n = &out[3 * j];
        n[0] = e1[1] * e2[2] - e1[2] * e2[1];
        n[1] = e1[2] * e2[0] - e1[0] * e2[2];
        n[2] = e1[0] * e2[1] - e1[1] * e2[0];
        normalise(n);
    }
}

// Each vertex's sum receives the normals of its faces in face order, one addition per face, so
// the sums equal those of scanning every face for every vertex, in one pass over the faces.
void computeVertexNormals(const std::vector<float>& faceNormals, const std::vector<Object3DFace>& faces,
                          std::vector<float>& out) {
    std::fill(out.begin(), out.end(), 0.0f);
    for (std::size_t j = 0; j < faces.size(); ++j) {
        const int* c = faces[j].corners;
        const float* n = &faceNormals[3 * j];
        for (int k = 0; k < 3; ++k) {
            if ((k >= 1 && c[k] == c[0]) || (k == 2 && c[2] == c[1])) continue;
            float* sum = &out[3 * c[k]];
            sum[0] += n[0];
            sum[1] += n[1];
            sum[2] += n[2];
        }
    }
    for (std::size_t i = 0; i < out.size(); i += 3) normalise(&out[i]);
}

}  // namespace

void Object3D::load(const std::string& path) {
    if (!loadGeometry(path)) {
        platform::reportFatalError(path + " cannot load 3dobject");
        return;
    }
    buildDisplayList();
}

bool Object3D::loadGeometry(const std::string& path) {
    datafiles::DataFile file(path, "rb");
    if (file.failed()) {
        file.close();
        return false;
    }
    // The counts are checked against the bytes present before anything is allocated or read.
    const std::uint32_t available = file.size();
    if (available < kHeaderBytes) return false;
    const int v = file.readWord();
    const int f = file.readWord();
    const std::uint64_t needed = kHeaderBytes + std::uint64_t{kVertexBytes} * v + std::uint64_t{kFaceBytes} * f;
    if (available < needed) return false;

    std::vector<float> readPositions(3 * static_cast<std::size_t>(v));
    for (float& coordinate : readPositions) coordinate = static_cast<float>(static_cast<std::int16_t>(file.readWord()));

    std::vector<Object3DFace> readFaces(static_cast<std::size_t>(f));
    for (Object3DFace& face : readFaces) {
        for (int& corner : face.corners) {
            corner = file.readWord();
            if (corner >= v) return false;
        }
        face.extra = file.readWord();
        for (int k = 0; k < 6; ++k) {
            const double value = static_cast<std::int16_t>(file.readWord()) / 256.0;
            face.texCoords[k] = static_cast<float>(k % 2 == 0 ? value : 1.0 - value);
        }
    }
    file.close();

    vertexCount = v;
    faceCount = f;
    allocateArrays();
    basePositions = readPositions;
    positions = std::move(readPositions);
    faces = std::move(readFaces);
    computeNormals();
    return true;
}

void Object3D::allocateArrays() {
    loaded = true;
    const std::size_t v3 = 3 * static_cast<std::size_t>(vertexCount);
    const std::size_t f3 = 3 * static_cast<std::size_t>(faceCount);
    basePositions.assign(v3, 0.0f);
    positions.assign(v3, 0.0f);
    baseVertexNormals.assign(v3, 0.0f);
    vertexNormals.assign(v3, 0.0f);
    baseFaceNormals.assign(f3, 0.0f);
    faceNormals.assign(f3, 0.0f);
    faces.assign(static_cast<std::size_t>(faceCount), Object3DFace{});
}

void Object3D::computeNormals() {
    computeFaceNormals(positions, faces, baseFaceNormals);
    computeVertexNormals(baseFaceNormals, faces, baseVertexNormals);
    vertexNormals = baseVertexNormals;
    faceNormals = baseFaceNormals;
}

void Object3D::recomputeNormals() {
    computeFaceNormals(positions, faces, faceNormals);
    computeVertexNormals(faceNormals, faces, vertexNormals);
}

void Object3D::restoreBase() {
    positions = basePositions;
    vertexNormals = baseVertexNormals;
    faceNormals = baseFaceNormals;
}

}  // namespace assets
