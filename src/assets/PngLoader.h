#pragma once
// PNG pictures from the file system (never from the data archive) into RGBA textures.
#include <memory>
#include <string>

#include "assets/Texture.h"

namespace assets {

// Decodes the PNG file at `path` into 4 bytes per pixel R, G, B, A, rows top first, tightly
// packed: palette and low-depth files are expanded, tRNS becomes alpha, 16-bit channels are
// reduced to 8, grey becomes R = G = B, files without alpha get alpha 255, interlaced files are
// assembled over their passes, and the colour values are gamma-adjusted for a 2.2 screen (file
// gamma 0.5 unless the file names its own). Stores width, height and pixels only on success and
// returns true; on any failure (missing file, not a PNG, corrupt or truncated data, too large)
// returns false and leaves the three out-arguments as they were.
bool decodePngFile(const char* path, int& width, int& height, std::unique_ptr<unsigned char[]>& pixels);

// Decodes `path` into an RGBA image texture (Texture image constructor, 32 bits per pixel).
// On failure reports path + " error loading png." through app::reportFatalError and returns null.
std::unique_ptr<Texture> loadPngTexture(const std::string& path, int filterQuality);

}  // namespace assets
