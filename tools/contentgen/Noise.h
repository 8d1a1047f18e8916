#pragma once
// Gradient noise for the textures. The 2D functions tile: with period p (in lattice cells) the
// value at x equals the value at x + p, so a texture sampled over exactly one period wraps
// without a seam. Values lie roughly in -1 ... 1.
#include <cstdint>

namespace contentgen {

// Periodic 2D gradient noise; periodX/periodY are lattice cells per repeat (>= 1).
float noise2(float x, float y, int periodX, int periodY, uint32_t seed);

// Fractal sum of `octaves` layers of noise2, each doubling the frequency and the period and
// multiplying the amplitude by `gain`. Normalised so the result stays roughly in -1 ... 1.
float fbm2(float x, float y, int periodX, int periodY, int octaves, float gain, uint32_t seed);

// 3D gradient noise (not periodic) and its fractal sum, for patterns laid on a sphere.
float noise3(float x, float y, float z, uint32_t seed);
float fbm3(float x, float y, float z, int octaves, float gain, uint32_t seed);

}  // namespace contentgen
