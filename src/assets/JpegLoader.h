#pragma once
// JPEG pictures from the file system (never from the data archive) into textures.
#include <cstddef>
#include <memory>
#include <string>

#include "assets/ImageLimits.h"
#include "assets/Texture.h"

namespace assets {

// Decodes the JPEG file at `path` into 3 bytes per pixel in R, G, B order, rows top first as the
// file stores them, tightly packed. Greyscale files come out with the grey in all three bytes;
// YCbCr and RGB files are converted; any other colour space (CMYK, YCCK) is refused.
// Returns 1 on success; 0 when the file is missing, unreadable, not a JPEG, truncated, corrupt or
// too large to allocate, or when its header declares a picture beyond the budget of
// ImageLimits.h (refused before the decoder or this loader allocates anything for it). A decoder
// warning counts as corruption, except for the ones libjpeg fully recovers from: stray bytes
// before a marker and an unknown JFIF revision. Always stores width, height and pixels (0, 0 and
// null on failure).
int decodeJpegFile(const char* path, int& width, int& height, std::unique_ptr<unsigned char[]>& pixels);

// decodeJpegFile on `size` bytes in memory, with `maxBytes` as the budget for the decoded picture
// (width x height x 3; the fuzz target keeps it small so each input stays fast).
int decodeJpegMemory(const unsigned char* data, std::size_t size, int& width, int& height,
                     std::unique_ptr<unsigned char[]>& pixels, std::size_t maxBytes = kMaxImageBytes);

// Decodes `path` into an RGB image texture (Texture image constructor, 24 bits per pixel).
// On failure reports path + " error loading jpeg." through platform::reportFatalError and returns null.
std::unique_ptr<Texture> loadJpegTexture(const std::string& path, int filterQuality);

// Decodes `path` and tiles it into a power-of-two texture of at most 512 x 512: each side is the
// smallest power of two not below the picture's (512 for larger pictures, which are cut), and
// smaller pictures repeat to fill it. Returns null, reporting nothing, when decoding fails, when
// a side would be below 64, or when fewer than 64 pixels have red or blue above 64.
std::unique_ptr<Texture> loadJpegTextureTiled(const std::string& path, int filterQuality);

}  // namespace assets
