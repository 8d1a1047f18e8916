#pragma once
// The pack's textures: each a procedural picture with a fixed seed, painted for the way the show
// draws it (additive sprites fade to black at their edges; repeated textures tile seamlessly).
#include <cstdint>
#include <string>
#include <vector>

#include "Image.h"

namespace contentgen {

struct TextureSpec {
    const char* fileName;  // under data/
    int width, height;     // powers of two
    bool fullChroma;       // 4:4:4 colour (text strips, and tiles, whose subsampled chroma would
                           // mark the wrap), otherwise 4:2:0
    Image (*paint)(int width, int height);
};

// Every texture of the pack, in a fixed order.
const std::vector<TextureSpec>& textureSpecs();

// JPEG quality of every texture.
constexpr int kJpegQuality = 90;

// Paints and encodes one texture.
std::vector<uint8_t> makeTextureJpeg(const TextureSpec& spec);

// The font patterns the text strips are set in (fontconfig syntax).
extern const char* const kTitleFont;
extern const char* const kCreditsFont;
extern const char* const kCreditsSmallFont;

}  // namespace contentgen
