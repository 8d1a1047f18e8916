#pragma once
// The band composition of the fast render path: the glow levels' layers summed by GLSL programs
// in a handful of full-band draws instead of one fixed-function draw per layer.
//
// The fixed-function band adds every layer into an 8-bit frame buffer, and each addition rounds:
// the layer's colour (texture sample, fog applied) and its alpha are rounded to 8 bits, their
// product is rounded to 8 bits (a * b / 255, to nearest) and the sum saturates at 255. Summing
// the layers in float and rounding once changes the picture by many levels, so the programs
// round every term the same way and add whole levels; the draws are then added with
// (GL_ONE, GL_ONE), which adds those integers exactly. Measured on Mesa llvmpipe: a float f
// is written as round-half-even(f * 255) (the product in single precision) and the blend product
// is (t + (t >> 8) + 128) >> 8 with t = a * b, which is round(a * b / 255).
//
// Layers without offset (the centred layers and the streaks, which carry the weight) are drawn on
// their own quads, one draw for all levels with weight, so their samples are the fixed-function
// ones to the bit. The corner copies (alpha at most 0.025) are sampled over a band-covering quad
// at coordinates computed from the window position, a few units in the last place from the
// rasteriser's, which now and then moves one small term across a rounding edge: one level at
// isolated pixels. Layers whose alpha rounds to 0 cost nothing, and so do those of a level too dark
// to add a level at their alpha (the never filled last level): only their alpha channel's part
// is drawn, flat. A partly covering group of terms is drawn over its rectangles, not the band.
// Where a term adds nothing is also known tile by tile (BandTiles): the levels' texels are read
// back each frame and every band tile draws only the terms its texels can add a level with.
// On llvmpipe the band then takes about 3 times less CPU than the fixed-function layers on a plain
// frame, 4.5 times less with the streaks and 6 times less in the title section (where the corners
// lie on the centre). Under a fog that replaces the layers' colour (the white section) no level is
// sampled at all.
// The terms sample the levels themselves, clamped as the layers sample them (GL_CLAMP, black
// border), which llvmpipe does on its float path with a border select for every texel. Clamped
// to the edge on that path instead, the band would take 17 % fewer instructions in the swell
// (callgrind), but no copy of the levels that gives the same samples that way has paid: framed by
// one black texel (the border) and clamped to the edge, 8-bit copies take llvmpipe's 8-bit path,
// whose weights have 8 bits (up to 12 levels off); float copies are fetched out of line (33 to
// 35 % more instructions), 8-bit copies repeated mirrored 21 to 22 % more, and 8-bit copies kept
// on the float path by a level of detail of their own for every pixel 21 to 22 % more. The
// copies' coordinates, a few units in the last place off, also took the band over noisy levels
// from 1 level to 2 off the layers.
#include <array>
#include <memory>
#include <vector>

#include "assets/Texture.h"
#include "content/BandTiles.h"
#include "content/Timeline.h"

namespace content {

// One layer as the band adds it with effects::drawLetterboxLayer (angle 0) over a width x height
// layer space: glow level `level` weighted by alpha, moved by the offset (pixels of the layer
// space) and stretched to scaleX of the width and scaleY of the height (negative mirrors).
struct BandLayer {
    int level;
    float alpha;
    float offsetX, offsetY;
    float scaleX, scaleY;
};

// The band's layers for one frame, in drawing order: per glow level the centred layer, its four
// corner copies and, when the streaks are on, four streaks. The one list of the band: the
// fixed-function composer draws these calls in this order and the band pass sums them. Every
// layer is listed, those that add nothing included. `burstStrength` is G, `glowMix` H.
std::vector<BandLayer> bandLayers(const TitleShape& shape, double glowMix, float flash, double burstStrength,
                                  float swell1, float swell2);

// The 8-bit value the frame buffer stores for a colour component c: clamped to 0 .. 1, then
// round-half-even(c * 255) with the product in single precision.
int frameBufferLevel(float c);

// The fog in force as it falls on the band's layers (at eye distance 0): a layer's colour c
// becomes keep * c + add.
struct LayerFog {
    float keep = 1.0f;
    float add[3] = {0.0f, 0.0f, 0.0f};
};
LayerFog layerFogInForce();

// Whether a layer weighted by alpha adds nothing to any pixel (blend source alpha, one) when no
// texel of its texture has a component above peak (0 .. 255) and `fog` falls on it: every
// sample's 8-bit level times the 8-bit alpha rounds to 0.
bool layerAddsNothing(float alpha, int peak, const LayerFog& fog);

class BandPass {
public:
    static constexpr int kLevelCount = 9;

    // Builds the programs and has the GL compile them (one draw each that adds nothing to one
    // pixel; every GL state is left as found). The GL context must be current. Null when the GL
    // offers no GLSL (version below 2.0) or a program does not build: the caller keeps the
    // fixed-function band.
    static std::unique_ptr<BandPass> create();
    ~BandPass();
    BandPass(const BandPass&) = delete;
    BandPass& operator=(const BandPass&) = delete;

    // Adds `layers` of the glow `levels` into the band of a width x height window (viewport
    // (0, 104, width, height - 208), the frame buffer already cleared there), with the fog in
    // force applied to every layer as the fixed-function layers take it. Returns false, drawing
    // nothing, when a level is missing, was never uploaded or is not RGB (its samples' alpha
    // would not be 1), the band has no rows, or the fog neither leaves the layers' colour nor
    // replaces it (a negative fog end: only before the show's first beat); the caller then draws
    // the layers itself.
    // Leaves the state the last of `layers` drawn by effects::drawLetterboxLayer would leave
    // (band viewport, screen ortho, blending on with GL_SRC_ALPHA, GL_ONE, depth test and writes
    // off, culling off, smooth shading, colour (1, 1, 1, last alpha), that layer's level bound on
    // unit 0), no program in use, texture unit 0 active and the other units' bindings as found.
    // `peaks` bounds each level's texels (the largest component, 0 .. 255; 255 when unknown):
    // the layers of a level they add nothing with (layerAddsNothing) are left out. The levels
    // sampled are read back (a wait for the GL to draw them) and each band tile draws only the
    // terms that add something there; the alpha channel still takes every layer's alpha. Under a
    // fog that replaces the layers' colour every layer adds one colour over its quad: the layers
    // are drawn as flat quads, one a placement, and nothing is sampled or read back.
    bool compose(const std::vector<BandLayer>& layers, const std::array<assets::Texture*, kLevelCount>& levels,
                 int width, int height, const std::array<int, kLevelCount>& peaks);
    bool compose(const std::vector<BandLayer>& layers, const std::array<assets::Texture*, kLevelCount>& levels,
                 int width, int height);

private:
    struct Program;
    BandPass();
    // Draws each program once, adding nothing, so that the GL compiles them before the show.
    void warmUp() const;
    // compose's layers without fog, summed by the programs over the band tiles.
    void sumLayers(const std::vector<BandLayer>& layers, const std::array<assets::Texture*, kLevelCount>& levels,
                   int width, int height, const std::array<int, kLevelCount>& peaks);
    // Reads the texels of `texture`, bound on the active unit, into the maxima of `level`.
    void readBack(int level, const assets::Texture& texture);
    std::vector<std::unique_ptr<Program>> exact_;     // 9 levels down to 1 on a layer's own quad
    std::vector<std::unique_ptr<Program>> placed_;    // placed terms over the band, 16 down to 1
    std::vector<std::unique_ptr<Program>> covering_;  // the same for layers covering the band
    std::array<TexelMaxima, kLevelCount> maxima_;     // each level's texels as last read back
    std::vector<unsigned char> readback_;
};

}  // namespace content
