#pragma once
// Small fixtures the asset tests make on the fly: a scratch working directory, JPEG and PNG
// files written with the real encoders, and .ob3 meshes.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace assettest {

using Bytes = std::vector<std::uint8_t>;

// A fresh directory that becomes the working directory for the fixture's lifetime; the previous
// working directory is restored and the directory removed afterwards.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

private:
    std::string previous_;
    std::string path_;
};

// Writes bytes to a path relative to the working directory ('/' separators), making its folders.
void writeFile(const std::string& path, const Bytes& bytes);

// JPEG of width x height with `components` 1 (grey), 3 (RGB) or 4 (CMYK) bytes per pixel, rows
// top first.
void writeJpeg(const std::string& path, int width, int height, int components, const Bytes& pixels,
               int quality = 100);
// A picture whose every pixel is the same RGB colour.
void writeSolidJpeg(const std::string& path, int width, int height, std::array<std::uint8_t, 3> rgb);

struct PngSpec {
    int width = 1;
    int height = 1;
    int colourType = 2;     // PNG colour type: 0 grey, 2 RGB, 3 palette, 4 grey+alpha, 6 RGBA
    int bitDepth = 8;
    bool interlaced = false;
    Bytes rows;             // packed rows as the file stores them (big-endian 16-bit samples)
    std::vector<std::array<std::uint8_t, 3>> palette;
    Bytes transparency;     // tRNS: alpha per palette entry
};
void writePng(const std::string& path, const PngSpec& spec);

struct Ob3Face {
    std::uint16_t corners[3];
    std::uint16_t extra;
    std::int16_t tex[6];    // s0, t0, s1, t1, s2, t2 as stored
};
// The .ob3 bytes for the given vertices (x, y, z) and faces; counts as given.
Bytes ob3Bytes(const std::vector<std::array<std::int16_t, 3>>& vertices, const std::vector<Ob3Face>& faces);

}  // namespace assettest
