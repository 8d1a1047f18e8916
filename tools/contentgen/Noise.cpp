#include "Noise.h"

#include <cmath>

#include "Random.h"

namespace contentgen {
namespace {

inline float fade(float t) { return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f); }
inline float lerp(float a, float b, float t) { return a + (b - a) * t; }

inline int wrap(int v, int period) {
    const int m = v % period;
    return m < 0 ? m + period : m;
}

// Gradient at a lattice point: one of 16 directions on the unit circle.
inline float grad2(int ix, int iy, uint32_t seed, float dx, float dy) {
    static const float kDirs[16][2] = {
        {1.0f, 0.0f},       {0.9239f, 0.3827f},  {0.7071f, 0.7071f},  {0.3827f, 0.9239f},
        {0.0f, 1.0f},       {-0.3827f, 0.9239f}, {-0.7071f, 0.7071f}, {-0.9239f, 0.3827f},
        {-1.0f, 0.0f},      {-0.9239f, -0.3827f}, {-0.7071f, -0.7071f}, {-0.3827f, -0.9239f},
        {0.0f, -1.0f},      {0.3827f, -0.9239f}, {0.7071f, -0.7071f}, {0.9239f, -0.3827f}};
    const uint32_t h = hash32(static_cast<uint32_t>(ix) * 0x8DA6B343u ^ static_cast<uint32_t>(iy) * 0xD8163841u ^ seed);
    const float* g = kDirs[h & 15];
    return g[0] * dx + g[1] * dy;
}

inline float grad3(int ix, int iy, int iz, uint32_t seed, float dx, float dy, float dz) {
    const uint32_t h = hash32(static_cast<uint32_t>(ix) * 0x8DA6B343u ^ static_cast<uint32_t>(iy) * 0xD8163841u ^
                              static_cast<uint32_t>(iz) * 0xCB1AB31Fu ^ seed) & 15;
    // The twelve cube-edge directions (and four repeats), as in improved noise.
    const float u = h < 8 ? dx : dy;
    const float v = h < 4 ? dy : (h == 12 || h == 14 ? dx : dz);
    return ((h & 1) ? -u : u) + ((h & 2) ? -v : v);
}

}  // namespace

float noise2(float x, float y, int periodX, int periodY, uint32_t seed) {
    const float fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    const float dx = x - fx, dy = y - fy;
    const int x0 = wrap(ix, periodX), x1 = wrap(ix + 1, periodX);
    const int y0 = wrap(iy, periodY), y1 = wrap(iy + 1, periodY);
    const float n00 = grad2(x0, y0, seed, dx, dy);
    const float n10 = grad2(x1, y0, seed, dx - 1.0f, dy);
    const float n01 = grad2(x0, y1, seed, dx, dy - 1.0f);
    const float n11 = grad2(x1, y1, seed, dx - 1.0f, dy - 1.0f);
    const float u = fade(dx), v = fade(dy);
    return 1.41f * lerp(lerp(n00, n10, u), lerp(n01, n11, u), v);
}

float fbm2(float x, float y, int periodX, int periodY, int octaves, float gain, uint32_t seed) {
    float sum = 0.0f, amp = 1.0f, norm = 0.0f;
    for (int o = 0; o < octaves; ++o) {
        sum += amp * noise2(x, y, periodX, periodY, seed + 0x51ED27u * static_cast<uint32_t>(o));
        norm += amp;
        amp *= gain;
        x *= 2.0f;
        y *= 2.0f;
        periodX *= 2;
        periodY *= 2;
    }
    return sum / norm;
}

float noise3(float x, float y, float z, uint32_t seed) {
    const float fx = std::floor(x), fy = std::floor(y), fz = std::floor(z);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy), iz = static_cast<int>(fz);
    const float dx = x - fx, dy = y - fy, dz = z - fz;
    const float u = fade(dx), v = fade(dy), w = fade(dz);
    const float a = lerp(grad3(ix, iy, iz, seed, dx, dy, dz), grad3(ix + 1, iy, iz, seed, dx - 1, dy, dz), u);
    const float b = lerp(grad3(ix, iy + 1, iz, seed, dx, dy - 1, dz), grad3(ix + 1, iy + 1, iz, seed, dx - 1, dy - 1, dz), u);
    const float c = lerp(grad3(ix, iy, iz + 1, seed, dx, dy, dz - 1), grad3(ix + 1, iy, iz + 1, seed, dx - 1, dy, dz - 1), u);
    const float d = lerp(grad3(ix, iy + 1, iz + 1, seed, dx, dy - 1, dz - 1),
                         grad3(ix + 1, iy + 1, iz + 1, seed, dx - 1, dy - 1, dz - 1), u);
    return 0.9f * lerp(lerp(a, b, v), lerp(c, d, v), w);
}

float fbm3(float x, float y, float z, int octaves, float gain, uint32_t seed) {
    float sum = 0.0f, amp = 1.0f, norm = 0.0f;
    for (int o = 0; o < octaves; ++o) {
        sum += amp * noise3(x, y, z, seed + 0x51ED27u * static_cast<uint32_t>(o));
        norm += amp;
        amp *= gain;
        x *= 2.0f;
        y *= 2.0f;
        z *= 2.0f;
    }
    return sum / norm;
}

}  // namespace contentgen
