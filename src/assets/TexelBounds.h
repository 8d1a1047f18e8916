#pragma once
// Where a texture has texels bright enough to matter, found once at load: for each mipmap level
// and each threshold, the smallest rectangle of texels holding every texel whose largest colour
// component reaches the threshold.
//
// An additive draw weighted by an 8-bit alpha a (blend source alpha, one) adds round(s * a / 255)
// of a sample's 8-bit component s: nothing while s * a < 128. A linear sample is a weighted mean
// of texels, so it never exceeds the brightest of them; a colour of at most 1 and a black fog only
// darken it. So outside the texture coordinates `sampled` gives, such a draw adds nothing, and
// its quad can be trimmed to them.
#include <array>
#include <vector>

#include "assets/Texture.h"

namespace assets {

class TexelBounds {
public:
    // A rectangle of texture coordinates, s0 <= s < s1 and t0 <= t < t1; empty when s0 >= s1 or
    // t0 >= t1.
    struct Region {
        float s0, s1, t0, t1;
        bool empty() const { return s0 >= s1 || t0 >= t1; }
    };

    TexelBounds() = default;
    // Reads each level of `texture` back from GL (the context current; level 0 only when it is not
    // mipmapped); the binding of the active unit is put back. A texture that was never uploaded has no levels: every region is the whole square.
    static TexelBounds of(Texture& texture);

    // The texture coordinates where a linear sample of any level from 0 to maxLevel can have a
    // component of at least `threshold` (0 .. 255): each level's rectangle widened by the reach of
    // its linear filter (half a texel in, one and a half out; with repeat wrapping a rectangle on
    // one edge reaches the other) and three texels of slack, clamped to 0 .. 1, all joined. A threshold of 0 or less, or no levels known, gives the whole square; one
    // above 255 an empty region.
    Region sampled(int threshold, int maxLevel) const;
    int levelCount() const { return static_cast<int>(levels_.size()); }
    // The largest component of any texel of the levels from `level` on (the last level when it is
    // beyond them); 255 when no levels are known.
    int peakFrom(int level) const;

private:
    struct Box {
        int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;  // inclusive texel range; none when x1 < x0
        bool none() const { return x1 < x0; }
        void join(const Box& other);
    };
    struct Level {
        int width = 0, height = 0;
        std::array<Box, 256> atLeast;  // [threshold]: the texels whose largest component is >= it
    };
    std::vector<Level> levels_;
    bool repeat_ = true;
};

}  // namespace assets
