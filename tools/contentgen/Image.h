#pragma once
// A floating-point RGB picture the texture generators paint into, and its JPEG encoding.
// Channel values are nominally 0 ... 1; encoding clamps and rounds to 8 bits.
#include <cstdint>
#include <string>
#include <vector>

namespace contentgen {

struct Rgb {
    float r = 0.0f, g = 0.0f, b = 0.0f;
};
inline Rgb operator+(Rgb a, Rgb b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
inline Rgb operator*(Rgb a, float s) { return {a.r * s, a.g * s, a.b * s}; }
inline Rgb operator*(Rgb a, Rgb b) { return {a.r * b.r, a.g * b.g, a.b * b.b}; }

class Image {
public:
    Image(int width, int height) : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height) {}

    int width() const { return width_; }
    int height() const { return height_; }
    // Row 0 is the top row, as a JPEG stores it.
    Rgb& at(int x, int y) { return pixels_[static_cast<size_t>(y) * width_ + x]; }
    const Rgb& at(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
    // Adds c to the pixel at (x, y) wrapped around both edges (for seamless textures).
    void addWrapped(int x, int y, Rgb c);

private:
    int width_, height_;
    std::vector<Rgb> pixels_;
};

// A single-channel coverage mask (text, glow shapes), values 0 ... 1.
struct Mask {
    int width = 0, height = 0;
    std::vector<float> values;
    Mask() = default;
    Mask(int w, int h) : width(w), height(h), values(static_cast<size_t>(w) * h, 0.0f) {}
    float& at(int x, int y) { return values[static_cast<size_t>(y) * width + x]; }
    float at(int x, int y) const { return values[static_cast<size_t>(y) * width + x]; }
};

// Separable Gaussian blur with standard deviation sigma (pixels); edges are clamped.
Mask blur(const Mask& in, float sigma);

// Encodes the picture as a baseline JPEG (libjpeg-turbo, integer DCT, optimised Huffman tables,
// no JFIF density or comment that could vary): the same picture always gives the same bytes.
// fullChroma keeps 4:4:4 colour (for sharp coloured text); otherwise 4:2:0.
std::vector<uint8_t> encodeJpeg(const Image& image, int quality, bool fullChroma);

// Writes bytes to path through a temporary file renamed into place, so a failure never leaves
// a half-written file under the final name. Throws std::runtime_error naming the path.
void writeFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace contentgen
