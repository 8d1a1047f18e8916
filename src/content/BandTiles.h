#pragma once
// Where in the band a term can add anything. A term adds round(s * a / 255) of a sample s at
// 8-bit alpha a: nothing where no texel it samples reaches 128 / a. The corner copies (a of 6
// and less) then add nothing over the dark parts of the band, and the heavier centred terms
// nothing where their level is black. The band is cut into tiles, each tile is given the terms
// its texels can bring, and tiles that draw the same terms are merged into rectangles, each
// drawn under a scissor: llvmpipe bins a draw only into the tiles of its scissor rectangle, so a
// rectangle costs its own pixels, and the rasterisation and texture coordinates of the layers'
// quads stay those of the whole quad.
#include <functional>
#include <vector>

namespace content {

// The largest colour component of a level's texels, kept per block of texels so that the largest
// over a texel rectangle takes a few lookups. An upper bound: whole blocks are counted.
class TexelMaxima {
public:
    // `rgba`: width x height texels of 4 bytes, the first row at t = 0; the first three bytes
    // are the colour (in any order), the fourth is not counted. Blocks of up to `blockSide` texels a side.
    void assign(const unsigned char* rgba, int width, int height, int blockSide);

    // At least the largest component of any bilinear sample taken at texture coordinates s in
    // [s0, s1], t in [t0, t1] (either order), a texel of margin included for coordinates a few
    // units in the last place from those given; the border outside the texture is black.
    // 0 .. 255; 0 before assign.
    int bound(double s0, double s1, double t0, double t1) const;

    // Whether every texel has the same colour, then written to colour (in assign's byte order).
    // False before assign.
    bool uniform(int colour[3]) const;
    // Whether every bilinear sample taken at s in [s0, s1], t in [t0, t1] weighs texels only,
    // never the border (the same margin as bound). False before assign.
    bool inside(double s0, double s1, double t0, double t1) const;

private:
    // The texel columns [*x0, *x1] and rows [*y0, *y1] the samples over s in [s0, s1], t in
    // [t0, t1] weigh, margin included, before clamping to the texture.
    void footprint(double s0, double s1, double t0, double t1, int* x0, int* x1, int* y0, int* y1) const;
    int width_ = 0, height_ = 0, block_ = 1, columns_ = 0, rows_ = 0;
    std::vector<unsigned char> blocks_;
    bool uniform_ = false;
    int colour_[3] = {0, 0, 0};
};

// A rectangle of window pixels, x0 <= x < x1 and y0 <= y < y1, and which terms it draws.
struct TileRect {
    int x0, y0, x1, y1;
    std::vector<bool> live;
};

// Which terms a rectangle of window pixels draws.
using TermsIn = std::function<std::vector<bool>(int x0, int y0, int x1, int y1)>;

// Cuts the window pixels of columns [0, width) and rows [bottom, top) into tiles of `side`
// pixels, with tile edges on the columns that are multiples of side and on the rows
// `alignTop` - k side, asks `termsIn` which terms each tile draws, and merges the tiles that
// draw the same terms: runs along a row, then runs of rows with the same run. The rectangles
// cover the pixels once each; none when the band is empty.
std::vector<TileRect> tileRects(int width, int bottom, int top, int alignTop, int side, const TermsIn& termsIn);

}  // namespace content
