#include "TextRenderer.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace contentgen {

std::string findFontFile(const std::string& pattern) {
    if (!FcInit()) return "";
    FcPattern* pat = FcNameParse(reinterpret_cast<const FcChar8*>(pattern.c_str()));
    if (!pat) return "";
    FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pat, &result);
    std::string file;
    FcChar8* path = nullptr;
    if (match && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch) file = reinterpret_cast<char*>(path);
    if (match) FcPatternDestroy(match);
    FcPatternDestroy(pat);
    return file;
}

void releaseFonts() { FcFini(); }

struct TextRenderer::Face {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~Face() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

TextRenderer::TextRenderer(const std::string& pattern) : face_(new Face) {
    fontFile_ = findFontFile(pattern);
    if (fontFile_.empty()) throw std::runtime_error("no font found for \"" + pattern + "\" (install fonts-liberation)");
    if (FT_Init_FreeType(&face_->library) != 0) throw std::runtime_error("FreeType cannot start");
    if (FT_New_Face(face_->library, fontFile_.c_str(), 0, &face_->face) != 0)
        throw std::runtime_error(fontFile_ + ": FreeType cannot open the font");
}

TextRenderer::~TextRenderer() = default;

namespace {

void applyStyle(FT_Face face, const TextRenderer::Style& style) {
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(style.size));
    FT_Matrix m;
    m.xx = 0x10000;
    m.xy = 0;
    m.yx = 0;
    m.yy = static_cast<FT_Fixed>(std::lround(style.stretch * 65536.0));
    FT_Set_Transform(face, &m, nullptr);
}

}  // namespace

namespace {

// Walks the text's glyphs as set in the style: for each, loads it into face->glyph and calls
// visit(pen x) before advancing. Returns the pen position after the last glyph.
template <typename Visit>
float walkGlyphs(FT_Face face, const std::string& text, const TextRenderer::Style& style, float x, Visit visit) {
    applyStyle(face, style);
    FT_UInt previous = 0;
    for (unsigned char c : text) {
        if (c >= 128) continue;
        const FT_UInt glyph = FT_Get_Char_Index(face, c);
        if (previous && glyph && FT_HAS_KERNING(face)) {
            FT_Vector k;
            FT_Get_Kerning(face, previous, glyph, FT_KERNING_DEFAULT, &k);
            x += k.x / 64.0f;
        }
        previous = glyph;
        if (FT_Load_Glyph(face, glyph, FT_LOAD_DEFAULT) != 0) continue;
        visit(x);
        x += face->glyph->advance.x / 64.0f + style.tracking;
    }
    return x;
}

}  // namespace

float TextRenderer::measure(const std::string& text, const Style& style) const {
    return walkGlyphs(face_->face, text, style, 0.0f, [](float) {}) - style.tracking;
}

void TextRenderer::draw(Mask& mask, const std::string& text, const Style& style, float left, float baselineY) const {
    FT_Face face = face_->face;
    walkGlyphs(face, text, style, left, [&](float x) {
        if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0) return;
        const FT_Bitmap& bm = face->glyph->bitmap;
        const int ox = static_cast<int>(std::lround(x)) + face->glyph->bitmap_left;
        const int oy = static_cast<int>(std::lround(baselineY)) - face->glyph->bitmap_top;
        for (unsigned row = 0; row < bm.rows; ++row)
            for (unsigned col = 0; col < bm.width; ++col) {
                const int px = ox + static_cast<int>(col), py = oy + static_cast<int>(row);
                if (px < 0 || py < 0 || px >= mask.width || py >= mask.height) continue;
                float& m = mask.at(px, py);
                m = std::min(1.0f, m + bm.buffer[row * bm.pitch + col] / 255.0f);
            }
    });
}

}  // namespace contentgen
