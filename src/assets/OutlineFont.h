#pragma once
// Extruded outline text: 96 display lists, one per character 32 (space) to 127, each holding the
// glyph's filled outline extruded along -z (front face at z = 0 facing +z, back face at
// z = -extrusion, side walls) with normals, and ending with glTranslatef(advance, 0, 0) so that
// consecutive list calls set glyphs side by side. All lengths are in em units (the em square is
// 1.0 high; the baseline is y = 0).
//
// The face is found by name among the system's fonts at heavy weight (platform::systemFont: the
// closest match installed, e.g. Liberation Sans Bold for "arial" under fontconfig) and read with
// FreeType; curves are flattened to a deviation of 0.015 em and the faces tessellated with GLU. Nothing is reported: a face that cannot be read
// gives empty lists with zero metrics.
#include <GL/gl.h>

#include <string>

namespace assets {

// One glyph's metrics, laid out and named like the platform's GLYPHMETRICSFLOAT (em units).
struct GlyphMetricsFloat {
    float gmfBlackBoxX = 0.0f;   // width of the glyph's ink box
    float gmfBlackBoxY = 0.0f;   // height of the glyph's ink box
    struct {
        float x = 0.0f;          // upper-left corner of the ink box relative to the origin
        float y = 0.0f;
    } gmfptGlyphOrigin;
    float gmfCellIncX = 0.0f;    // the advance
    float gmfCellIncY = 0.0f;
};

class OutlineFont {
public:
    static constexpr int kFirstChar = 32;
    static constexpr int kCharCount = 96;

    // Builds the lists with the GL context current. faceName: a family name such as "arial";
    // extrusion: the depth of the glyphs in em units.
    OutlineFont(const std::string& faceName, float extrusion);
    OutlineFont(const OutlineFont&) = delete;
    OutlineFont& operator=(const OutlineFont&) = delete;

    // printf-style; nothing for a null format. The text is cut to 255 characters, then drawn as
    // one glCallLists run with the list base at listBase - 32 (GL_LIST_BIT pushed and popped,
    // list base 0 set before the pop). Characters outside 32..127 call names outside the font.
    void print(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // Draws c scaled by (scaleX, scaleY) and turned by angle degrees about the point half its
    // advance across and half its box height up, then moves the modelview matrix on by
    // (spacing + 1) advances (this translation stays). Returns the advance; for a character
    // outside 32..127 draws nothing, moves nothing and returns 0.
    float drawGlyph(char c, float scaleX, float scaleY, float angle, float spacing);

    // printf-style, cut to 255 characters; nothing for a null format. Within a push/pop of the
    // modelview matrix: translate (x, y), rotate by angle, scale (size, -size) (text mirrored
    // top to bottom), then drawGlyph for each character. The matrix is unchanged afterwards.
    void printTransformed(float x, float y, float size, float angle, float glyphScaleX,
                          float glyphScaleY, float glyphAngle, float spacing, const char* format, ...)
        __attribute__((format(printf, 10, 11)));

    // Deletes the 96 lists.
    void release();

    GlyphMetricsFloat glyphMetrics[kCharCount];  // record k belongs to character 32 + k
    GLint listBase = 0;                          // list listBase + k draws character 32 + k
};

}  // namespace assets
