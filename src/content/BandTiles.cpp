#include "content/BandTiles.h"

#include <algorithm>
#include <cmath>

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
    for (int by = 0; by < rows_; ++by) {
        const int y0 = by * block_, y1 = std::min(y0 + block_, height_);
        const unsigned char* first = rgba + static_cast<std::size_t>(y0) * rowBytes;
        std::copy(first, first + rowBytes, down.begin());
        for (int y = y0 + 1; y < y1; ++y) {
            const unsigned char* row = rgba + static_cast<std::size_t>(y) * rowBytes;
            for (std::size_t i = 0; i < rowBytes; ++i) down[i] = std::max(down[i], row[i]);
        }
        unsigned char* blocks = &blocks_[static_cast<std::size_t>(by) * static_cast<std::size_t>(columns_)];
        for (int x = 0; x < width_; ++x) {
            const unsigned char* texel = &down[static_cast<std::size_t>(x) * 4];
            unsigned char& largest = blocks[x / block_];
            largest = std::max({largest, texel[0], texel[1], texel[2]});
        }
    }
}

int TexelMaxima::bound(double s0, double s1, double t0, double t1) const {
    if (blocks_.empty()) return 0;
    // A bilinear sample at s weighs texels floor(s w - 0.5) and the next; one more each side.
    const auto texels = [](double a, double b, int size) {
        const double lo = std::min(a, b) * size - 0.5, hi = std::max(a, b) * size - 0.5;
        // Far outside, only the border is sampled; clamp before converting.
        const int first = static_cast<int>(std::floor(std::clamp(lo, -4.0, size + 4.0))) - 1;
        const int last = static_cast<int>(std::floor(std::clamp(hi, -4.0, size + 4.0))) + 2;
        return std::pair<int, int>{std::max(first, 0), std::min(last, size - 1)};
    };
    const auto [x0, x1] = texels(s0, s1, width_);
    const auto [y0, y1] = texels(t0, t1, height_);
    if (x0 > x1 || y0 > y1) return 0;
    int largest = 0;
    for (int by = y0 / block_; by <= y1 / block_; ++by) {
        const unsigned char* row = &blocks_[static_cast<std::size_t>(by) * static_cast<std::size_t>(columns_)];
        for (int bx = x0 / block_; bx <= x1 / block_; ++bx) largest = std::max(largest, static_cast<int>(row[bx]));
    }
    return largest;
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
