#include "content/BandTiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

using content::TexelMaxima;
using content::TileRect;
using content::tileRects;

// An 8 x 4 level, black but for one texel (x 5, y 2) of colour (10, 200, 30) and alpha 255
// (the fourth byte, not a colour) everywhere.
std::vector<unsigned char> oneBrightTexel() {
    std::vector<unsigned char> rgba(8 * 4 * 4, 0);
    for (std::size_t k = 3; k < rgba.size(); k += 4) rgba[k] = 255;
    unsigned char* bright = &rgba[(2 * 8 + 5) * 4];
    bright[0] = 10, bright[1] = 200, bright[2] = 30;
    return rgba;
}

TEST(TexelMaxima, BoundsTheTexelsABilinearSampleWeighs) {
    const std::vector<unsigned char> rgba = oneBrightTexel();
    struct Case {
        const char* name;
        int blockSide;
        double s0, s1, t0, t1;
        int expected;
    };
    // Texel x covers s from x / 8 to (x + 1) / 8, row y t from y / 4 to (y + 1) / 4. A sample
    // at u = s * 8 - 0.5 weighs texels floor(u) and floor(u) + 1; one texel more each side.
    const Case cases[] = {
        {"on the texel", 1, 5.5 / 8, 5.5 / 8, 2.5 / 4, 2.5 / 4, 200},
        {"a range over it, given in reverse", 1, 7.0 / 8, 1.0 / 8, 3.9 / 4, 0.1 / 4, 200},
        {"weighing texel 4 at most: one texel of margin reaches 5", 1, 3.0 / 8, 3.5 / 8, 2.5 / 4, 2.5 / 4, 200},
        {"weighing texel 6 at least: one texel of margin reaches 5", 1, 6.5 / 8, 7.0 / 8, 2.5 / 4, 2.5 / 4, 200},
        {"weighing texel 3 at most: out of reach", 1, 0.0, 2.5 / 8, 2.5 / 4, 2.5 / 4, 0},
        {"from texel 7 rightwards: out of reach", 1, 7.5 / 8, 3.0, 0.0, 1.0, 0},
        {"rows 0 to 0.5 and margin: out of reach", 1, 0.0, 1.0, 0.0, 0.3 / 4, 0},
        {"rows up to 1: the margin reaches row 2", 1, 0.0, 1.0, 0.0, 1.0 / 4, 200},
        {"far beyond the texture: the black border", 1, 5.0, 9.0, -3.0, -1.0, 0},
        {"blocks of 4: texels 0 to 3 are one block", 4, 0.0, 1.4 / 8, 0.0, 1.0, 0},
        {"blocks of 4: texel 4 brings the whole block", 4, 0.0, 2.6 / 8, 0.0, 1.0, 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TexelMaxima maxima;
        EXPECT_EQ(maxima.bound(c.s0, c.s1, c.t0, c.t1), 0) << "before assign";
        maxima.assign(rgba.data(), 8, 4, c.blockSide);
        EXPECT_EQ(maxima.bound(c.s0, c.s1, c.t0, c.t1), c.expected);
    }
}

// Over noise whose fourth byte is brighter than any colour, each block holds the largest colour
// byte of its texels: a footprint on one texel column (one texel of margin each side, then
// whole blocks) bounds exactly the columns of the blocks it reaches, for blocks that divide the
// width and blocks with a short last one.
TEST(TexelMaxima, KeepsTheLargestColourOfEveryBlock) {
    const int width = 37, height = 5;
    std::mt19937 random(7);
    std::uniform_int_distribution<int> colour(0, 200);
    std::vector<unsigned char> rgba(static_cast<std::size_t>(width * height * 4));
    for (std::size_t k = 0; k < rgba.size(); ++k) rgba[k] = k % 4 == 3 ? 255 : static_cast<unsigned char>(colour(random));
    const auto largestInColumns = [&](int from, int to) {
        int largest = 0;
        for (int y = 0; y < height; ++y)
            for (int x = from; x < to; ++x)
                for (int c = 0; c < 3; ++c) largest = std::max(largest, static_cast<int>(rgba[static_cast<std::size_t>((y * width + x) * 4 + c)]));
        return largest;
    };
    for (const int block : {1, 3, 4, 5, 8, 16, 40}) {
        SCOPED_TRACE(block);
        TexelMaxima maxima;
        maxima.assign(rgba.data(), width, height, block);
        for (int x = 0; x < width; ++x) {
            const double s = (x + 0.6) / width;  // weighs texels x and x + 1
            const int first = std::max(x - 1, 0) / block * block;
            const int end = std::min((std::min(x + 2, width - 1) / block + 1) * block, width);
            EXPECT_EQ(maxima.bound(s, s, 0.0, 1.0), largestInColumns(first, end)) << "column " << x;
        }
    }
}

// A level of one colour (whatever its fourth bytes) is uniform, with that colour; one texel off
// in one colour byte, anywhere, makes it not. Samples weigh only texels while their footprint,
// a texel of margin included, stays off the border.
TEST(TexelMaxima, TellsAUniformLevelAndFootprintsOffTheBorder) {
    const int width = 8, height = 4;
    std::vector<unsigned char> rgba(width * height * 4);
    for (std::size_t k = 0; k < rgba.size(); k += 4) {
        rgba[k] = 10, rgba[k + 1] = 20, rgba[k + 2] = 30;
        rgba[k + 3] = static_cast<unsigned char>(k);
    }
    TexelMaxima maxima;
    int colour[3] = {-1, -1, -1};
    EXPECT_FALSE(maxima.uniform(colour)) << "before assign";
    EXPECT_FALSE(maxima.inside(0.5, 0.5, 0.5, 0.5)) << "before assign";
    for (const int block : {1, 3, 8}) {
        maxima.assign(rgba.data(), width, height, block);
        ASSERT_TRUE(maxima.uniform(colour)) << block;
        EXPECT_EQ(colour[0], 10);
        EXPECT_EQ(colour[1], 20);
        EXPECT_EQ(colour[2], 30);
    }
    for (const std::size_t off : {std::size_t{0}, std::size_t{13 * 4 + 1}, rgba.size() - 2}) {
        std::vector<unsigned char> odd = rgba;
        odd[off] ^= 1;
        maxima.assign(odd.data(), width, height, 3);
        EXPECT_FALSE(maxima.uniform(colour)) << "byte " << off;
    }
    struct Case {
        const char* name;
        double s0, s1, t0, t1;
        bool inside;
    };
    // A sample at u = s * 8 - 0.5 weighs texels floor(u) and floor(u) + 1; one more each side.
    const Case cases[] = {
        {"texels 2 to 5, rows 0 to 3", 3.6 / 8, 3.6 / 8, 1.6 / 4, 1.6 / 4, true},
        {"texel 0: the margin reaches the border", 0.6 / 8, 3.6 / 8, 1.6 / 4, 1.6 / 4, false},
        {"texel 6: the margin reaches the border", 3.6 / 8, 6.6 / 8, 1.6 / 4, 1.6 / 4, false},
        {"row 2: the margin reaches the border", 3.6 / 8, 3.6 / 8, 2.6 / 4, 1.6 / 4, false},
        {"outside the texture", -1.0, -0.5, 1.6 / 4, 1.6 / 4, false},
    };
    for (const Case& c : cases) EXPECT_EQ(maxima.inside(c.s0, c.s1, c.t0, c.t1), c.inside) << c.name;
}

// Checks that the rectangles cover each band pixel once, that every tile in a rectangle draws
// the rectangle's terms, and that tile edges fall where asked.
void expectTiling(const std::vector<TileRect>& rects, int width, int bottom, int top, int alignTop, int side,
                  const content::TermsIn& termsIn) {
    // The row edges: alignTop - k side inside the band, and the band's own.
    std::vector<int> edges = {bottom, top};
    for (int k = -100; k <= 100; ++k) {
        const int y = alignTop - k * side;
        if (y > bottom && y < top) edges.push_back(y);
    }
    std::sort(edges.begin(), edges.end());
    std::vector<int> covered(static_cast<std::size_t>(width) * static_cast<std::size_t>(top - bottom), 0);
    for (const TileRect& r : rects) {
        ASSERT_LT(r.x0, r.x1);
        ASSERT_LT(r.y0, r.y1);
        ASSERT_GE(r.x0, 0);
        ASSERT_LE(r.x1, width);
        ASSERT_GE(r.y0, bottom);
        ASSERT_LE(r.y1, top);
        EXPECT_EQ(r.x0 % side, 0);
        EXPECT_TRUE(r.x1 == width || r.x1 % side == 0) << r.x1;
        EXPECT_TRUE(std::binary_search(edges.begin(), edges.end(), r.y0)) << r.y0;
        EXPECT_TRUE(std::binary_search(edges.begin(), edges.end(), r.y1)) << r.y1;
        for (int y = r.y0; y < r.y1; ++y)
            for (int x = r.x0; x < r.x1; ++x) ++covered[static_cast<std::size_t>((y - bottom) * width + x)];
        for (std::size_t e = 0; e + 1 < edges.size(); ++e) {
            if (edges[e] < r.y0 || edges[e + 1] > r.y1) continue;
            for (int x = r.x0; x < r.x1; x += side)
                EXPECT_EQ(termsIn(x, edges[e], std::min(x + side, width), edges[e + 1]), r.live) << x << ", " << edges[e];
        }
    }
    EXPECT_EQ(std::count(covered.begin(), covered.end(), 1), static_cast<std::ptrdiff_t>(covered.size()));
}

TEST(TileRects, CoverTheBandOnceAndMergeTilesThatDrawTheSame) {
    struct Case {
        const char* name;
        int width, bottom, top, alignTop, side;
        content::TermsIn termsIn;
        std::size_t rects;
    };
    const Case cases[] = {
        {"the same terms everywhere: one rectangle", 640, 104, 376, 480, 64,
         [](int, int, int, int) { return std::vector<bool>{true, false}; }, 1},
        {"by column: one rectangle per column band", 640, 104, 376, 480, 64,
         [](int x0, int, int, int) { return std::vector<bool>{x0 < 192, x0 >= 448}; }, 3},
        {"by row, rows aligned from the top", 640, 104, 376, 480, 64,
         [](int, int y0, int, int) { return std::vector<bool>{y0 >= 288}; }, 2},
        {"a lone tile", 640, 104, 376, 480, 64,
         [](int x0, int y0, int, int) { return std::vector<bool>{x0 == 128 && y0 == 224}; }, 5},
        {"a chequer: no merging", 300, 10, 200, 230, 50,
         [](int x0, int y0, int, int) { return std::vector<bool>{((x0 / 50 + (230 - y0) / 50) & 1) == 0}; }, 24},
        {"edge rows shorter than a tile, alignment above the band", 100, 7, 93, 2000, 32,
         [](int x0, int, int, int) { return std::vector<bool>{x0 == 64}; }, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<TileRect> rects = tileRects(c.width, c.bottom, c.top, c.alignTop, c.side, c.termsIn);
        EXPECT_EQ(rects.size(), c.rects);
        expectTiling(rects, c.width, c.bottom, c.top, c.alignTop, c.side, c.termsIn);
    }
    const auto any = [](int, int, int, int) { return std::vector<bool>{true}; };
    EXPECT_TRUE(tileRects(640, 376, 376, 480, 64, any).empty());
    EXPECT_TRUE(tileRects(0, 104, 376, 480, 64, any).empty());
}

}  // namespace
