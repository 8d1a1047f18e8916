#pragma once
// PNG pictures from the file system (never from the data archive) into RGBA textures.
#include <cstddef>
#include <memory>
#include <string>

#include "assets/ImageLimits.h"
#include "assets/Texture.h"

namespace assets {

// Decodes the PNG file at `path` into 4 bytes per pixel R, G, B, A, rows top first, tightly
// packed: palette and low-depth files are expanded, tRNS becomes alpha, 16-bit channels are
// reduced to 8, grey becomes R = G = B, files without alpha get alpha 255, interlaced files are
// assembled over their passes, and the colour values are gamma-adjusted for a 2.2 screen (file
// gamma 0.5 unless the file names its own). Stores width, height and pixels only on success and
// returns true; on any failure (missing file, not a PNG, corrupt or truncated data, too large)
// returns false and leaves the three out-arguments as they were. Too large, refused before
// anything is allocated for it: a header beyond the budget of ImageLimits.h, or a chunk other
// than image data longer than 8 MiB or inflating beyond it (text, profile, unknown chunks); at
// most 128 ancillary chunks are kept, later ones are skipped.
bool decodePngFile(const char* path, int& width, int& height, std::unique_ptr<unsigned char[]>& pixels);

// decodePngFile on `size` bytes in memory, with `maxBytes` as the budget for the decoded picture
// (width x height x 4; the fuzz target keeps it small so each input stays fast).
bool decodePngMemory(const unsigned char* data, std::size_t size, int& width, int& height,
                     std::unique_ptr<unsigned char[]>& pixels, std::size_t maxBytes = kMaxImageBytes);

// Decodes `path` into an RGBA image texture (Texture image constructor, 32 bits per pixel).
// On failure reports path + " error loading png." through platform::reportFatalError and returns null.
std::unique_ptr<Texture> loadPngTexture(const std::string& path, int filterQuality);

}  // namespace assets
