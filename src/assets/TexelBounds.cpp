#include "assets/TexelBounds.h"

#include <algorithm>
#include <cmath>

namespace assets {

namespace {

// Texels of slack, at every level: on the large clipped quads of the show the rasteriser's texture
// coordinates were found a texel or two off the exact ones.
constexpr double kFilterSlack = 3.0;

}  // namespace

void TexelBounds::Box::join(const Box& other) {
    if (other.none()) return;
    x0 = std::min(x0, other.x0);
    y0 = std::min(y0, other.y0);
    x1 = std::max(x1, other.x1);
    y1 = std::max(y1, other.y1);
}

TexelBounds TexelBounds::of(Texture& texture) {
    TexelBounds bounds;
    bounds.repeat_ = texture.repeatWrap;
    if (!texture.uploaded || texture.width <= 0 || texture.height <= 0) return bounds;
    GLint bound = 0, packAlignment = 4;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glBindTexture(GL_TEXTURE_2D, texture.glName);
    glGetIntegerv(GL_PACK_ALIGNMENT, &packAlignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    int width = texture.width, height = texture.height;
    std::vector<unsigned char> pixels;
    for (int level = 0;; ++level) {
        pixels.assign(static_cast<std::size_t>(width) * height * 3, 0);
        glGetTexImage(GL_TEXTURE_2D, level, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
        Level l;
        l.width = width;
        l.height = height;
        std::array<Box, 256> exactly;
        const unsigned char* p = pixels.data();
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x, p += 3) {
                Box& b = exactly[std::max({p[0], p[1], p[2]})];
                b.join(Box{x, y, x, y});
            }
        }
        Box running;
        for (int v = 255; v >= 0; --v) {
            running.join(exactly[static_cast<std::size_t>(v)]);
            l.atLeast[static_cast<std::size_t>(v)] = running;
        }
        bounds.levels_.push_back(l);
        if (!texture.mipmapped || (width == 1 && height == 1)) break;
        width = std::max(width / 2, 1);
        height = std::max(height / 2, 1);
    }
    glPixelStorei(GL_PACK_ALIGNMENT, packAlignment);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
    return bounds;
}

int TexelBounds::peakFrom(int level) const {
    if (levels_.empty()) return 255;
    int peak = 0;
    for (int k = std::clamp(level, 0, levelCount() - 1); k < levelCount(); ++k) {
        const std::array<Box, 256>& atLeast = levels_[static_cast<std::size_t>(k)].atLeast;
        for (int v = 255; v > peak; --v) {
            if (!atLeast[static_cast<std::size_t>(v)].none()) {
                peak = v;
                break;
            }
        }
    }
    return peak;
}

TexelBounds::Region TexelBounds::sampled(int threshold, int maxLevel) const {
    if (threshold <= 0 || levels_.empty()) return {0.0f, 1.0f, 0.0f, 1.0f};
    if (threshold > 255) return {0.0f, 0.0f, 0.0f, 0.0f};
    const int last = std::clamp(maxLevel, 0, levelCount() - 1);
    double s0 = 1, s1 = 0, t0 = 1, t1 = 0;
    for (int k = 0; k <= last; ++k) {
        const Level& l = levels_[static_cast<std::size_t>(k)];
        const Box& b = l.atLeast[static_cast<std::size_t>(threshold)];
        if (b.none()) continue;
        // A linear sample at s weighs texel x when x - 0.5 < s * width < x + 1.5, give or take
        // the slack. A repeating texture's edge texel also reaches the opposite edge.
        s0 = std::min(s0, (b.x0 - 0.5 - kFilterSlack) / l.width);
        s1 = std::max(s1, (b.x1 + 1.5 + kFilterSlack) / l.width);
        t0 = std::min(t0, (b.y0 - 0.5 - kFilterSlack) / l.height);
        t1 = std::max(t1, (b.y1 + 1.5 + kFilterSlack) / l.height);
        if (repeat_) {
            if (b.x1 == l.width - 1) s0 = 0;
            if (b.x0 == 0) s1 = 1;
            if (b.y1 == l.height - 1) t0 = 0;
            if (b.y0 == 0) t1 = 1;
        }
    }
    if (s0 >= s1 || t0 >= t1) return {0.0f, 0.0f, 0.0f, 0.0f};
    // Rounded outwards so that the float region holds the exact one.
    auto down = [](double v) { return std::nextafter(static_cast<float>(std::clamp(v, 0.0, 1.0)), -1.0f); };
    auto up = [](double v) { return std::nextafter(static_cast<float>(std::clamp(v, 0.0, 1.0)), 2.0f); };
    return {std::max(down(s0), 0.0f), std::min(up(s1), 1.0f), std::max(down(t0), 0.0f), std::min(up(t1), 1.0f)};
}

}  // namespace assets
