#include "SphereMesh.h"

#include <cmath>
#include <stdexcept>

namespace contentgen {

const SphereSpec kBallSphere = {2600, 24, 48, 2, false};
const SphereSpec kStarSphere = {300, 32, 64, 2, true};

namespace {

void put16(std::vector<uint8_t>& out, int v) {
    const uint16_t u = static_cast<uint16_t>(v);
    out.push_back(static_cast<uint8_t>(u & 0xFF));
    out.push_back(static_cast<uint8_t>(u >> 8));
}

}  // namespace

std::vector<uint8_t> makeSphereOb3(const SphereSpec& spec) {
    if (spec.rings < 2 || spec.segments < 3 || spec.radius <= 0 || spec.radius > 32767 || spec.sRepeats < 1 ||
        spec.sRepeats * 256 > 32767)
        throw std::invalid_argument("sphere parameters out of range");
    // One vertex at each pole; every ring between them has a duplicated seam column, so that
    // s runs from 0 to sRepeats without wrapping back.
    const int columns = spec.segments + 1;
    const long vertexCount = 2 + static_cast<long>(spec.rings - 1) * columns;
    const long faceCount = 2L * spec.segments * (spec.rings - 1);
    if (vertexCount > 65535 || faceCount > 65535) throw std::invalid_argument("sphere too fine for the format");

    std::vector<uint8_t> out;
    out.reserve(4 + 6 * vertexCount + 20 * faceCount);
    put16(out, static_cast<int>(vertexCount));
    put16(out, static_cast<int>(faceCount));

    const double pi = 3.14159265358979323846;
    auto putVertex = [&](double polar, double azimuth) {
        const double x = std::sin(polar) * std::cos(azimuth), y = std::cos(polar), z = -std::sin(polar) * std::sin(azimuth);
        put16(out, static_cast<int>(std::lround(x * spec.radius)));
        put16(out, static_cast<int>(std::lround(y * spec.radius)));
        put16(out, static_cast<int>(std::lround(z * spec.radius)));
    };
    putVertex(0.0, 0.0);
    for (int i = 1; i < spec.rings; ++i)
        for (int j = 0; j < columns; ++j) putVertex(pi * i / spec.rings, 2.0 * pi * (j % spec.segments) / spec.segments);
    putVertex(pi, 0.0);

    // Ring i (0 = the +y pole, rings = the -y pole), column j.
    auto index = [&](int i, int j) {
        if (i == 0) return 0;
        if (i == spec.rings) return static_cast<int>(vertexCount - 1);
        return 1 + (i - 1) * columns + j;
    };
    // s in 8.8 fixed point; a pole corner takes the middle of its face's span.
    auto sValue = [&](int i, int j, int jOther) {
        const int twice = (i == 0 || i == spec.rings) ? j + jOther : 2 * j;
        return 128 * spec.sRepeats * twice / spec.segments;
    };
    auto tValue = [&](int i) { return 256 * i / spec.rings; };  // 0 at the top (+y), 256 at the bottom
    auto face = [&](int i0, int j0, int i1, int j1, int i2, int j2, int jPole) {
        // As built below the corners run counter-clockwise seen from outside; inward spheres swap
        // two corners so the winding (and the computed normal) turns over.
        int c[3][2] = {{i0, j0}, {i1, j1}, {i2, j2}};
        if (spec.facingInward) std::swap(c[1], c[2]);
        for (auto& k : c) put16(out, index(k[0], k[1]));
        put16(out, 0);
        for (auto& k : c) {
            put16(out, sValue(k[0], k[1], jPole));
            put16(out, tValue(k[0]));
        }
    };
    // Azimuth grows with j counter-clockwise about +y seen from above (z = -sin): with i going
    // down from the pole, (i, j), (i + 1, j), (i, j + 1) runs counter-clockwise from outside.
    for (int i = 0; i < spec.rings; ++i)
        for (int j = 0; j < spec.segments; ++j) {
            if (i != 0) face(i, j, i + 1, j, i, j + 1, j + 1);
            if (i != spec.rings - 1) face(i, j + 1, i + 1, j, i + 1, j + 1, j);
        }
    return out;
}

}  // namespace contentgen
