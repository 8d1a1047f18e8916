#pragma once
// Additive sprites trimmed to the part of their texture that adds anything (fast render path).
//
// A sprite's quad is a plane carrying texture coordinates (s, t). Where its samples cannot reach
// the level that adds something at its alpha (assets/TexelBounds.h), the quad adds nothing, so it
// is drawn over the rest only: the sub-rectangle of (s, t) that TexelBounds gives, on the same
// plane (so with the same texture coordinates and depths, up to rounding). Which mipmap levels the
// samples can come from follows from how many texels a pixel spans, bounded here from the quad's
// place on the screen.
#include "assets/TexelBounds.h"

namespace content {

// The object-space point at texture coordinates (s, t): origin + s alongS + t alongT.
struct TexturedPlane {
    double origin[3];
    double alongS[3];
    double alongT[3];
    void at(double s, double t, double* point) const;
};

// Bounds on GL's scale factor (level-0 texels a pixel spans, the larger of the two screen
// directions) anywhere on the drawn part of the plane's square 0 <= s, t <= 1 (the part inside
// the view volume), for a texWidth x texHeight texture drawn through `clipFromObject`
// (column-major, projection times model-view) into a viewport of viewportWidth x viewportHeight
// pixels. `most` is infinite when the plane is seen edge-on; both are 0 when no part is drawn.
struct TexelsPerPixel {
    double least, most;
};
TexelsPerPixel texelsPerPixelRange(const TexturedPlane& plane, const double* clipFromObject, int viewportWidth,
                                   int viewportHeight, int texWidth, int texHeight);

// The largest mipmap level a draw with that scale factor samples, with a level to spare
// (GL_LINEAR_MIPMAP_NEAREST takes the level nearest log2 of it).
int largestSampledLevel(double texelsPerPixel);
// The smallest mipmap level a draw with at least that scale factor samples, with a level and a
// half to spare.
int smallestSampledLevel(double texelsPerPixel);

// The smallest 8-bit component a sample needs to add anything at a draw alpha (as glColor gets it,
// clamped): 128 / a rounded up for the 8-bit alpha a; above 255 when nothing adds anything.
int addingThreshold(float alpha);

// A texture's bright parts (its bounds) and sizes, and the viewport quads are drawn into.
struct SpriteTrim {
    const assets::TexelBounds* bounds;
    int textureWidth, textureHeight;
    int viewportWidth, viewportHeight;

    // The part of the texture a quad on `plane`, drawn through clipFromObject with `alpha`, adds
    // anything from: the region of the levels it can sample; empty when no part of it is drawn or
    // those levels are all too dark at that alpha.
    assets::TexelBounds::Region regionFor(const TexturedPlane& plane, const double* clipFromObject, float alpha) const;
};

// projection times model-view, as the GL holds them now (column-major).
void currentClipFromObject(double* clipFromObject);

}  // namespace content
