#pragma once
// The lens warp: redraws a copy of the picture over the letterbox band through a 33 x 33 grid
// whose texture coordinates are pulled toward a centre point, magnifying a disc of radius
// 1 / strength (texture units) around it and leaving the rest of the picture where it was.
#include "assets/Texture.h"

namespace content {

constexpr int kLensGridSide = 33;

// One grid point: texture coordinate (s, t) and position (x, y) in the unit square; moved when
// the lens gives it a texture coordinate of its own (inside the lens, or on its centre), else
// (s, t) is (x, y) up to rounding.
struct LensGridPoint {
    float s, t, x, y;
    bool moved;
};
using LensGrid = LensGridPoint[kLensGridSide][kLensGridSide];  // [row j][column i]

// Fills the grid for lens centre (centreX, centreY) in texture coordinates and strength k, in
// single precision: a point at distance d < 1 / k from the centre takes its texture from
// distance k d^2 on the same ray; others keep their own position. k = 0 collapses every point
// onto the centre; a negative k leaves the picture unwarped; a point on the centre takes the
// centre.
void buildLensGrid(float centreX, float centreY, float strength, LensGrid& grid);

// Viewport (0, 104, width, height - 208) (skipped, like the layers, when negative), the screen
// ortho of width x height, then the grid spread over 1.6 width across and 1.9 height upward
// from the bottom edge, as 32 quad strips, texture modulated by white, opaque. Leaves: that
// viewport and ortho, identity model-view, depth test and writes off, culling off, blending off
// (blend function source alpha, one), colour white, texturing as the bind left it, depth
// function GL_LESS. Fog is left as it is.
void drawLensWarp(float centreX, float centreY, float strength, int width, int height,
                  assets::Texture& texture);

// drawLensWarp with fewer, larger quads where the lens moves nothing: a run of grid rows with no
// moved point is one strip, and in a strip a column is left out when no point of it or of its
// neighbours is moved (the grid maps texture to position by one affine map there). The same
// pixels are covered; their colours differ from drawLensWarp's only by the rounding of the
// interpolated texture coordinates. The same state is left.
void drawLensWarpMerged(float centreX, float centreY, float strength, int width, int height,
                        assets::Texture& texture);

}  // namespace content
