#include "content/BandTiles.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <tuple>
#include <utility>

namespace content {

void TexelMaxima::assign(const unsigned char* rgba, int width, int height, int blockSide) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    block_ = std::max(blockSide, 1);
    columns_ = (width_ + block_ - 1) / block_;
    rows_ = (height_ + block_ - 1) / block_;
    blocks_.assign(static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_), 0);
    // A level is read back every frame: each row of blocks is first reduced down its texel rows,
    // byte by byte (one contiguous maximum, which the compiler vectorises), then across.
    const std::size_t rowBytes = static_cast<std::size_t>(width_) * 4;
    std::vector<unsigned char> down(rowBytes);
    // And whether every texel is the first one's colour, compared as 4-byte words without the
    // fourth byte.
    uniform_ = width_ > 0 && height_ > 0;
    for (int c = 0; c < 3; ++c) colour_[c] = uniform_ ? rgba[c] : 0;
    std::uint32_t firstTexel = 0, colourBytes = 0;
    if (uniform_) std::memcpy(&firstTexel, rgba, 4);
    const unsigned char mask[4] = {0xff, 0xff, 0xff, 0};
    std::memcpy(&colourBytes, mask, 4);
    for (int by = 0; by < rows_; ++by) {
        const int y0 = by * block_, y1 = std::min(y0 + block_, height_);
        const unsigned char* first = rgba + static_cast<std::size_t>(y0) * rowBytes;
        std::copy(first, first + rowBytes, down.begin());
        for (int y = y0 + 1; y < y1; ++y) {
            const unsigned char* row = rgba + static_cast<std::size_t>(y) * rowBytes;
            for (std::size_t i = 0; i < rowBytes; ++i) down[i] = std::max(down[i], row[i]);
        }
        for (int y = y0; y < y1 && uniform_; ++y) {
            const unsigned char* row = rgba + static_cast<std::size_t>(y) * rowBytes;
            std::uint32_t differs = 0;
            for (int x = 0; x < width_; ++x) {
                std::uint32_t texel;
                std::memcpy(&texel, row + static_cast<std::size_t>(x) * 4, 4);
                differs |= texel ^ firstTexel;
            }
            uniform_ = (differs & colourBytes) == 0;
        }
        unsigned char* blocks = &blocks_[static_cast<std::size_t>(by) * static_cast<std::size_t>(columns_)];
        for (int x = 0; x < width_; ++x) {
            const unsigned char* texel = &down[static_cast<std::size_t>(x) * 4];
            unsigned char& largest = blocks[x / block_];
            largest = std::max({largest, texel[0], texel[1], texel[2]});
        }
    }
}

void TexelMaxima::footprint(double s0, double s1, double t0, double t1, int* x0, int* x1, int* y0, int* y1) const {
    // A bilinear sample at s weighs texels floor(s w - 0.5) and the next; one more each side.
    const auto texels = [](double a, double b, int size) {
        const double lo = std::min(a, b) * size - 0.5, hi = std::max(a, b) * size - 0.5;
        // Far outside, only the border is sampled; clamp before converting.
        const int first = static_cast<int>(std::floor(std::clamp(lo, -4.0, size + 4.0))) - 1;
        const int last = static_cast<int>(std::floor(std::clamp(hi, -4.0, size + 4.0))) + 2;
        return std::pair<int, int>{first, last};
    };
    std::tie(*x0, *x1) = texels(s0, s1, width_);
    std::tie(*y0, *y1) = texels(t0, t1, height_);
}

int TexelMaxima::bound(double s0, double s1, double t0, double t1) const {
    if (blocks_.empty()) return 0;
    int x0, x1, y0, y1;
    footprint(s0, s1, t0, t1, &x0, &x1, &y0, &y1);
    x0 = std::max(x0, 0), x1 = std::min(x1, width_ - 1);
    y0 = std::max(y0, 0), y1 = std::min(y1, height_ - 1);
    if (x0 > x1 || y0 > y1) return 0;
    int largest = 0;
    for (int by = y0 / block_; by <= y1 / block_; ++by) {
        const unsigned char* row = &blocks_[static_cast<std::size_t>(by) * static_cast<std::size_t>(columns_)];
        for (int bx = x0 / block_; bx <= x1 / block_; ++bx) largest = std::max(largest, static_cast<int>(row[bx]));
    }
    return largest;
}

bool TexelMaxima::uniform(int colour[3]) const {
    if (!uniform_) return false;
    for (int c = 0; c < 3; ++c) colour[c] = colour_[c];
    return true;
}

bool TexelMaxima::inside(double s0, double s1, double t0, double t1) const {
    if (blocks_.empty()) return false;
    int x0, x1, y0, y1;
    footprint(s0, s1, t0, t1, &x0, &x1, &y0, &y1);
    return x0 >= 0 && x1 < width_ && y0 >= 0 && y1 < height_;
}

std::vector<TileRect> tileRects(int width, int bottom, int top, int alignTop, int side, const TermsIn& termsIn) {
    std::vector<TileRect> done;
    if (width <= 0 || top <= bottom || side <= 0) return done;
    // Tile row edges: alignTop - k side, clipped to the band, from the top down.
    std::vector<int> edges;
    const int above = alignTop - ((alignTop - top) / side) * side;  // the first edge at or above top
    for (int y = above >= top ? above : above + side; y > bottom; y -= side) edges.push_back(std::min(y, top));
    edges.push_back(bottom);
    std::vector<TileRect> open;  // the runs of the row above, still growing downwards
    for (std::size_t r = 0; r + 1 < edges.size(); ++r) {
        const int y1 = edges[r], y0 = edges[r + 1];
        std::vector<TileRect> row;
        for (int x0 = 0; x0 < width; x0 += side) {
            const int x1 = std::min(x0 + side, width);
            std::vector<bool> live = termsIn(x0, y0, x1, y1);
            if (!row.empty() && row.back().live == live)
                row.back().x1 = x1;
            else
                row.push_back({x0, y0, x1, y1, std::move(live)});
        }
        std::vector<TileRect> next;
        for (TileRect& run : row) {
            const auto above = std::find_if(open.begin(), open.end(), [&](const TileRect& o) {
                return o.x0 == run.x0 && o.x1 == run.x1 && o.live == run.live;
            });
            if (above != open.end()) {
                above->y0 = run.y0;
                next.push_back(std::move(*above));
                open.erase(above);
            } else {
                next.push_back(std::move(run));
            }
        }
        for (TileRect& closed : open) done.push_back(std::move(closed));
        open = std::move(next);
    }
    for (TileRect& closed : open) done.push_back(std::move(closed));
    return done;
}

}  // namespace content
