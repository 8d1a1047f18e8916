#pragma once
// Still pictures as PNG files (libpng).
#include <cstdint>
#include <string>
#include <vector>

namespace capture {

// An 8-bit RGB picture, rows from the top down, no padding between rows.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // width * height * 3 bytes
};

// Writes the picture as an 8-bit RGB PNG. Returns false with the reason in *error when the file
// cannot be written (libpng removes a half-written file).
bool writePng(const std::string& path, const RgbImage& image, std::string* error);

// Reads an 8-bit RGB PNG written by writePng (any PNG libpng can convert to 8-bit RGB). Returns
// false with the reason in *error.
bool readPng(const std::string& path, RgbImage* image, std::string* error);

}  // namespace capture
