#pragma once
// Renders lines of text into coverage masks with FreeType, the font file chosen by fontconfig.
#include <memory>
#include <string>

#include "Image.h"

namespace contentgen {

class TextRenderer {
public:
    // pattern: a fontconfig pattern such as "Liberation Sans:bold". Throws std::runtime_error
    // when fontconfig finds no scalable font or FreeType cannot open it.
    explicit TextRenderer(const std::string& pattern);
    ~TextRenderer();
    TextRenderer(const TextRenderer&) = delete;
    TextRenderer& operator=(const TextRenderer&) = delete;

    // The file fontconfig chose (for messages and for the build's dependency list).
    const std::string& fontFile() const { return fontFile_; }

    // How text is set: pixel size (em height), extra pixels after each letter, and a vertical
    // stretch of the glyphs (1 = as designed; above 1 makes tall letters for strips that are
    // shown squeezed vertically).
    struct Style {
        int size = 32;
        float tracking = 0.0f;
        float stretch = 1.0f;
    };

    // Width in pixels of the text as draw() would set it.
    float measure(const std::string& text, const Style& style) const;

    // Adds the text's coverage into mask (clamped to 1), baseline at y = baselineY (rows counted
    // from the top), starting at x = left. ASCII text only: other bytes are skipped.
    void draw(Mask& mask, const std::string& text, const Style& style, float left, float baselineY) const;

private:
    struct Face;
    std::unique_ptr<Face> face_;
    std::string fontFile_;
};

// Finds the font file fontconfig picks for the pattern, or "" when there is none.
std::string findFontFile(const std::string& pattern);

// Releases fontconfig's process-wide configuration (at exit; no font lookup may follow).
void releaseFonts();

}  // namespace contentgen
