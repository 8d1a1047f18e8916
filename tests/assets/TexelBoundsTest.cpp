// Where a texture's bright texels lie, per level and threshold, against the texels GL holds.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "assets/TexelBounds.h"
#include "assets/Texture.h"
#include "support/GlTestContext.h"

namespace {

using assets::TexelBounds;
using assets::Texture;

constexpr double kSlack = 3.0;  // texels of its level every rectangle is widened by

struct Texel {
    int x, y;
    unsigned char value;
};

// A side x side RGB image texture, black but for `texels` (value in red only, so that the largest
// component counts), linear and mipmapped as the show's pictures are.
std::unique_ptr<Texture> pictureWith(int side, const std::vector<Texel>& texels, bool repeat = true) {
    std::unique_ptr<unsigned char[]> pixels(new unsigned char[static_cast<std::size_t>(side) * side * 3]());
    for (const Texel& t : texels) pixels[(static_cast<std::size_t>(t.y) * side + t.x) * 3] = t.value;
    auto texture = std::make_unique<Texture>(std::move(pixels), side, side, 24, 3);
    if (!repeat) texture->setRepeat(false);
    return texture;
}

std::vector<unsigned char> level(const Texture& texture, int k, int side) {
    std::vector<unsigned char> pixels(static_cast<std::size_t>(side) * side * 3);
    glBindTexture(GL_TEXTURE_2D, texture.glName);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, k, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return pixels;
}

class TexelBoundsTest : public testsupport::GlTest {};

TEST_F(TexelBoundsTest, Level0RectanglesWidenedByTheFilterAndTheSlack) {
    // A bright block at x 5 .. 8, y 3 .. 4 and one dimmer texel at (10, 12) in a 32 x 32 picture.
    const int side = 32;
    std::vector<Texel> texels = {{10, 12, 50}};
    for (int y = 3; y <= 4; ++y)
        for (int x = 5; x <= 8; ++x) texels.push_back({x, y, 200});
    const auto texture = pictureWith(side, texels);
    const TexelBounds bounds = TexelBounds::of(*texture);
    ASSERT_EQ(bounds.levelCount(), 6);  // 32, 16, 8, 4, 2, 1
    struct Case {
        int threshold;
        double s0, s1, t0, t1;
    };
    const Case cases[] = {
        {200, (5 - 0.5 - kSlack) / side, (8 + 1.5 + kSlack) / side, 0.0, (4 + 1.5 + kSlack) / side},
        {100, (5 - 0.5 - kSlack) / side, (8 + 1.5 + kSlack) / side, 0.0, (4 + 1.5 + kSlack) / side},
        {50, (5 - 0.5 - kSlack) / side, (10 + 1.5 + kSlack) / side, 0.0, (12 + 1.5 + kSlack) / side},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("threshold " + std::to_string(c.threshold));
        const TexelBounds::Region r = bounds.sampled(c.threshold, 0);
        EXPECT_NEAR(r.s0, c.s0, 1e-6);
        EXPECT_NEAR(r.s1, c.s1, 1e-6);
        EXPECT_NEAR(r.t0, c.t0, 1e-6);
        EXPECT_NEAR(r.t1, c.t1, 1e-6);
        // Rounded outwards: the float region holds the exact one.
        EXPECT_LE(r.s0, c.s0);
        EXPECT_GE(r.s1, c.s1);
    }
    EXPECT_TRUE(bounds.sampled(201, 0).empty());
    EXPECT_TRUE(bounds.sampled(256, 5).empty());
    const TexelBounds::Region whole = bounds.sampled(0, 0);
    EXPECT_EQ(whole.s0, 0.0f);
    EXPECT_EQ(whole.s1, 1.0f);
    EXPECT_EQ(whole.t0, 0.0f);
    EXPECT_EQ(whole.t1, 1.0f);
}

// Every texel of every level up to maxLevel that reaches the threshold lies, with its filter's
// reach, inside the region; levels beyond maxLevel do not count.
TEST_F(TexelBoundsTest, CoarserLevelsWidenTheRegion) {
    const int side = 64;
    std::vector<Texel> texels;
    for (int y = 20; y <= 40; ++y)
        for (int x = 24; x <= 30; ++x) texels.push_back({x, y, static_cast<unsigned char>(120 + x + y)});
    const auto texture = pictureWith(side, texels);
    const TexelBounds bounds = TexelBounds::of(*texture);
    for (const int threshold : {1, 60, 150, 190}) {
        TexelBounds::Region previous = bounds.sampled(threshold, 0);
        for (int maxLevel = 0; maxLevel < bounds.levelCount(); ++maxLevel) {
            SCOPED_TRACE("threshold " + std::to_string(threshold) + ", levels to " + std::to_string(maxLevel));
            const TexelBounds::Region r = bounds.sampled(threshold, maxLevel);
            EXPECT_LE(r.s0, previous.s0);
            EXPECT_GE(r.s1, previous.s1);
            previous = r;
            for (int k = 0; k <= maxLevel; ++k) {
                const int w = side >> k;
                const std::vector<unsigned char> pixels = level(*texture, k, w);
                for (int y = 0; y < w; ++y)
                    for (int x = 0; x < w; ++x) {
                        if (pixels[(static_cast<std::size_t>(y) * w + x) * 3] < threshold) continue;
                        EXPECT_LE(r.s0, std::max(0.0, (x - 0.5) / w)) << "level " << k << " texel " << x << ", " << y;
                        EXPECT_GE(r.s1, std::min(1.0, (x + 1.5) / w)) << "level " << k << " texel " << x << ", " << y;
                        EXPECT_LE(r.t0, std::max(0.0, (y - 0.5) / w)) << "level " << k << " texel " << x << ", " << y;
                        EXPECT_GE(r.t1, std::min(1.0, (y + 1.5) / w)) << "level " << k << " texel " << x << ", " << y;
                    }
            }
        }
    }
    // Level 0 alone stays well inside the square: the block is far from the edges.
    const TexelBounds::Region sharp = bounds.sampled(150, 0);
    EXPECT_GT(sharp.s0, 0.25f);
    EXPECT_LT(sharp.s1, 0.6f);
}

// The brightest texel from a level on, against the levels GL holds.
TEST_F(TexelBoundsTest, PeakFromALevelOn) {
    const int side = 32;
    std::vector<Texel> texels;
    for (int y = 8; y < 24; ++y)
        for (int x = 8; x < 24; ++x) texels.push_back({x, y, static_cast<unsigned char>(x == 9 && y == 9 ? 250 : 90)});
    const auto texture = pictureWith(side, texels);
    const TexelBounds bounds = TexelBounds::of(*texture);
    ASSERT_EQ(bounds.levelCount(), 6);
    for (int from = 0; from < 8; ++from) {
        int expected = 0;
        for (int k = std::min(from, 5); k < 6; ++k) {
            const std::vector<unsigned char> pixels = level(*texture, k, side >> k);
            for (std::size_t i = 0; i < pixels.size(); ++i) expected = std::max(expected, static_cast<int>(pixels[i]));
        }
        EXPECT_EQ(bounds.peakFrom(from), expected) << "from level " << from;
    }
    EXPECT_EQ(bounds.peakFrom(0), 250);
    EXPECT_LT(bounds.peakFrom(5), 90);  // the whole picture's mean
    Texture neverUploaded(4);
    EXPECT_EQ(TexelBounds::of(neverUploaded).peakFrom(0), 255);
}

TEST_F(TexelBoundsTest, RepeatingEdgeTexelsReachTheOtherEdge) {
    const int side = 16;
    const auto repeating = pictureWith(side, {{15, 7, 255}});
    const TexelBounds::Region r = TexelBounds::of(*repeating).sampled(100, 0);
    EXPECT_EQ(r.s0, 0.0f);  // the sample at s = 0 reaches texel 15
    EXPECT_EQ(r.s1, 1.0f);
    EXPECT_GT(r.t0, 0.0f);
    const auto clamped = pictureWith(side, {{15, 7, 255}}, false);
    const TexelBounds::Region c = TexelBounds::of(*clamped).sampled(100, 0);
    EXPECT_NEAR(c.s0, (15 - 0.5 - kSlack) / side, 1e-6);
    EXPECT_EQ(c.s1, 1.0f);
}

TEST_F(TexelBoundsTest, UnknownTexturesAreWholeAndTheBindingIsKept) {
    Texture neverUploaded(4);
    const TexelBounds none = TexelBounds::of(neverUploaded);
    EXPECT_EQ(none.levelCount(), 0);
    const TexelBounds::Region r = none.sampled(200, 0);
    EXPECT_EQ(r.s0, 0.0f);
    EXPECT_EQ(r.s1, 1.0f);
    EXPECT_EQ(r.t0, 0.0f);
    EXPECT_EQ(r.t1, 1.0f);

    const auto other = pictureWith(4, {});
    const auto texture = pictureWith(8, {{1, 1, 9}});
    glBindTexture(GL_TEXTURE_2D, other->glName);
    const TexelBounds bounds = TexelBounds::of(*texture);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), other->glName);
    expectNoGlError("of");
    EXPECT_FALSE(bounds.sampled(9, 0).empty());
    EXPECT_TRUE(bounds.sampled(10, 3).empty());
}

}  // namespace
