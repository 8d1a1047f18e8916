#include "assets/OutlineFont.h"

#include <GL/glu.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/SystemFont.h"

namespace assets {

namespace {

// Weight asked of the font service: 900 on the OpenType scale ("heavy").
constexpr int kOpenTypeWeight = 900;
// Largest distance, in em units, between a curve and the straight segments that replace it.
constexpr double kDeviation = 0.015;
// Formatted text is cut to this many characters.
constexpr std::size_t kTextCapacity = 256;

struct Point {
    double x;
    double y;
};
using Contour = std::vector<Point>;

// --- font matching and loading ---

struct FreeTypeLibraryDeleter {
    void operator()(FT_Library library) const { FT_Done_FreeType(library); }
};
struct FreeTypeFaceDeleter {
    void operator()(FT_Face face) const { FT_Done_Face(face); }
};
using FreeTypeLibrary = std::unique_ptr<FT_LibraryRec_, FreeTypeLibraryDeleter>;
using FreeTypeFace = std::unique_ptr<FT_FaceRec_, FreeTypeFaceDeleter>;

// --- outline flattening ---

// Collects a glyph outline as closed polylines in em units.
struct Flattener {
    double scale;           // em units per font unit
    std::vector<Contour> contours;
    Point current{0.0, 0.0};

    Point toEm(const FT_Vector* v) const { return {v->x * scale, v->y * scale}; }
    void lineTo(Point p) {
        contours.back().push_back(p);
        current = p;
    }
    // Uniform steps: with n steps a curve stays within |second difference| / (4 n^2) (quadratic)
    // or 3 |largest second difference| / (4 n^2) (cubic) of its chords.
    static int stepsFor(double bound) {
        return std::max(1, static_cast<int>(std::ceil(std::sqrt(bound / kDeviation))));
    }

    static int moveTo(const FT_Vector* to, void* user) {
        auto* self = static_cast<Flattener*>(user);
        self->contours.emplace_back();
        self->lineTo(self->toEm(to));
        return 0;
    }
    static int lineToCallback(const FT_Vector* to, void* user) {
        auto* self = static_cast<Flattener*>(user);
        self->lineTo(self->toEm(to));
        return 0;
    }
    static int conicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
        auto* self = static_cast<Flattener*>(user);
        const Point p0 = self->current;
        const Point c = self->toEm(control);
        const Point p1 = self->toEm(to);
        const int n = stepsFor(std::hypot(p0.x - 2 * c.x + p1.x, p0.y - 2 * c.y + p1.y) / 4.0);
        for (int i = 1; i <= n; ++i) {
            const double t = static_cast<double>(i) / n;
            const double u = 1.0 - t;
            self->lineTo({u * u * p0.x + 2 * u * t * c.x + t * t * p1.x,
                          u * u * p0.y + 2 * u * t * c.y + t * t * p1.y});
        }
        return 0;
    }
    static int cubicTo(const FT_Vector* control1, const FT_Vector* control2, const FT_Vector* to, void* user) {
        auto* self = static_cast<Flattener*>(user);
        const Point p0 = self->current;
        const Point c1 = self->toEm(control1);
        const Point c2 = self->toEm(control2);
        const Point p1 = self->toEm(to);
        const double d1 = std::hypot(p0.x - 2 * c1.x + c2.x, p0.y - 2 * c1.y + c2.y);
        const double d2 = std::hypot(c1.x - 2 * c2.x + p1.x, c1.y - 2 * c2.y + p1.y);
        const int n = stepsFor(0.75 * std::max(d1, d2));
        for (int i = 1; i <= n; ++i) {
            const double t = static_cast<double>(i) / n;
            const double u = 1.0 - t;
            self->lineTo({u * u * u * p0.x + 3 * u * u * t * c1.x + 3 * u * t * t * c2.x + t * t * t * p1.x,
                          u * u * u * p0.y + 3 * u * u * t * c1.y + 3 * u * t * t * c2.y + t * t * t * p1.y});
        }
        return 0;
    }
};

// Drops repeated points (and the closing repeat of the first point) and contours that enclose
// nothing.
void cleanContours(std::vector<Contour>& contours) {
    for (Contour& c : contours) {
        c.erase(std::unique(c.begin(), c.end(), [](Point a, Point b) { return a.x == b.x && a.y == b.y; }), c.end());
        while (c.size() > 1 && c.front().x == c.back().x && c.front().y == c.back().y) c.pop_back();
    }
    contours.erase(std::remove_if(contours.begin(), contours.end(), [](const Contour& c) { return c.size() < 3; }),
                   contours.end());
}

// --- tessellation of the glyph's faces ---

struct Tessellation {
    std::deque<std::array<GLdouble, 3>> vertices;  // stable addresses for the tessellator
    std::vector<const GLdouble*> triangles;        // three corners per triangle
    bool failed = false;

    static void APIENTRY onBegin(GLenum, void*) {}
    static void APIENTRY onEdgeFlag(GLboolean, void*) {}  // asks for separate triangles only
    static void APIENTRY onVertex(void* vertex, void* user) {
        static_cast<Tessellation*>(user)->triangles.push_back(static_cast<const GLdouble*>(vertex));
    }
    static void APIENTRY onCombine(GLdouble coords[3], void*[4], GLfloat[4], void** out, void* user) {
        auto* self = static_cast<Tessellation*>(user);
        self->vertices.push_back({coords[0], coords[1], coords[2]});
        *out = self->vertices.back().data();
    }
    static void APIENTRY onError(GLenum, void* user) { static_cast<Tessellation*>(user)->failed = true; }
};

// Triangles covering the outline's filled area under the non-zero winding rule, each
// counter-clockwise seen from +z. Empty when the tessellator gives up.
std::vector<std::array<Point, 3>> tessellate(const std::vector<Contour>& contours) {
    Tessellation t;
    for (const Contour& c : contours) {
        for (Point p : c) t.vertices.push_back({p.x, p.y, 0.0});
    }
    GLUtesselator* tess = gluNewTess();
    if (tess == nullptr) return {};
    using Callback = void(APIENTRY*)();  // GLU's callback type on every system
    gluTessCallback(tess, GLU_TESS_BEGIN_DATA, reinterpret_cast<Callback>(&Tessellation::onBegin));
    gluTessCallback(tess, GLU_TESS_EDGE_FLAG_DATA, reinterpret_cast<Callback>(&Tessellation::onEdgeFlag));
    gluTessCallback(tess, GLU_TESS_VERTEX_DATA, reinterpret_cast<Callback>(&Tessellation::onVertex));
    gluTessCallback(tess, GLU_TESS_COMBINE_DATA, reinterpret_cast<Callback>(&Tessellation::onCombine));
    gluTessCallback(tess, GLU_TESS_ERROR_DATA, reinterpret_cast<Callback>(&Tessellation::onError));
    gluTessProperty(tess, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_NONZERO);
    gluTessNormal(tess, 0.0, 0.0, 1.0);
    gluTessBeginPolygon(tess, &t);
    std::size_t next = 0;
    for (const Contour& c : contours) {
        gluTessBeginContour(tess);
        for (std::size_t i = 0; i < c.size(); ++i, ++next) {
            GLdouble* v = t.vertices[next].data();
            gluTessVertex(tess, v, v);
        }
        gluTessEndContour(tess);
    }
    gluTessEndPolygon(tess);
    gluDeleteTess(tess);

    std::vector<std::array<Point, 3>> result;
    if (t.failed) return result;
    for (std::size_t i = 0; i + 2 < t.triangles.size(); i += 3) {
        std::array<Point, 3> tri;
        for (int k = 0; k < 3; ++k) tri[k] = {t.triangles[i + k][0], t.triangles[i + k][1]};
        const double area = (tri[1].x - tri[0].x) * (tri[2].y - tri[0].y) - (tri[2].x - tri[0].x) * (tri[1].y - tri[0].y);
        if (area < 0) std::swap(tri[1], tri[2]);
        result.push_back(tri);
    }
    return result;
}

// --- the glyph's display list body ---

// Front face at z = 0 (normal +z), back face at z = -depth (normal -z) and one flat-shaded wall
// per outline edge, facing away from the filled area, all in one run of triangles. fillOnRight:
// the outline runs with the filled area on its right (TrueType order).
void emitGlyph(const std::vector<Contour>& contours, bool fillOnRight, float depth) {
    const std::vector<std::array<Point, 3>> faces = tessellate(contours);
    glBegin(GL_TRIANGLES);
    glNormal3f(0.0f, 0.0f, 1.0f);
    for (const auto& tri : faces) {
        for (const Point& p : tri) glVertex3d(p.x, p.y, 0.0);
    }
    if (depth != 0.0f) {
        glNormal3f(0.0f, 0.0f, -1.0f);
        for (const auto& tri : faces) {
            for (int k : {0, 2, 1}) glVertex3d(tri[k].x, tri[k].y, -depth);
        }
        for (const Contour& c : contours) {
            for (std::size_t i = 0; i < c.size(); ++i) {
                // The wall under edge a -> b, with a and b ordered so that a, b, b', a' runs
                // counter-clockwise seen from outside the glyph.
                Point a = c[i];
                Point b = c[(i + 1) % c.size()];
                if (!fillOnRight) std::swap(a, b);
                const double nx = -(b.y - a.y);
                const double ny = b.x - a.x;
                const double length = std::hypot(nx, ny);
                if (length == 0.0) continue;
                glNormal3d(nx / length, ny / length, 0.0);
                const double wall[4][3] = {{a.x, a.y, 0.0}, {b.x, b.y, 0.0}, {b.x, b.y, -depth}, {a.x, a.y, -depth}};
                for (int k : {0, 1, 2, 0, 2, 3}) glVertex3dv(wall[k]);
            }
        }
    }
    glEnd();
}

// The formatted text, cut to 255 characters (the capacity of a 256-character buffer).
std::string formatText(const char* format, std::va_list args) {
    char buffer[kTextCapacity];
    if (std::vsnprintf(buffer, kTextCapacity, format, args) < 0) return {};
    return buffer;
}

}  // namespace

OutlineFont::OutlineFont(const std::string& faceName, float extrusion) {
    listBase = static_cast<GLint>(glGenLists(kCharCount));

    // The file's bytes outlive the face read from them (declared first, destroyed last).
    const platform::SystemFontData font = platform::systemFont(faceName, kOpenTypeWeight);
    FT_Library rawLibrary = nullptr;
    FreeTypeLibrary library;
    FreeTypeFace face;
    if (!font.bytes.empty() && FT_Init_FreeType(&rawLibrary) == 0) {
        library.reset(rawLibrary);
        FT_Face rawFace = nullptr;
        if (FT_New_Memory_Face(library.get(), font.bytes.data(), static_cast<FT_Long>(font.bytes.size()),
                               font.faceIndex, &rawFace) == 0)
            face.reset(rawFace);
        if (face && (face->units_per_EM == 0 || !FT_IS_SCALABLE(face.get()))) face.reset();
    }

    for (int k = 0; k < kCharCount; ++k) {
        GlyphMetricsFloat& m = glyphMetrics[k];
        m = GlyphMetricsFloat{};
        std::vector<Contour> contours;
        bool fillOnRight = true;
        if (face && FT_Load_Char(face.get(), static_cast<FT_ULong>(kFirstChar + k),
                                 FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) == 0 &&
            face->glyph->format == FT_GLYPH_FORMAT_OUTLINE) {
            const FT_GlyphSlot slot = face->glyph;
            const double scale = 1.0 / face->units_per_EM;
            m.gmfBlackBoxX = static_cast<float>(slot->metrics.width * scale);
            m.gmfBlackBoxY = static_cast<float>(slot->metrics.height * scale);
            m.gmfptGlyphOrigin.x = static_cast<float>(slot->metrics.horiBearingX * scale);
            m.gmfptGlyphOrigin.y = static_cast<float>(slot->metrics.horiBearingY * scale);
            m.gmfCellIncX = static_cast<float>(slot->metrics.horiAdvance * scale);

            Flattener flattener{scale, {}};
            const FT_Outline_Funcs funcs{&Flattener::moveTo, &Flattener::lineToCallback, &Flattener::conicTo,
                                         &Flattener::cubicTo, 0, 0};
            if (FT_Outline_Decompose(&slot->outline, &funcs, &flattener) == 0) {
                contours = std::move(flattener.contours);
                cleanContours(contours);
            }
            fillOnRight = FT_Outline_Get_Orientation(&slot->outline) != FT_ORIENTATION_POSTSCRIPT;
        }
        glNewList(static_cast<GLuint>(listBase + k), GL_COMPILE);
        if (!contours.empty()) emitGlyph(contours, fillOnRight, extrusion);
        glTranslatef(m.gmfCellIncX, 0.0f, 0.0f);
        glEndList();
    }
}

void OutlineFont::print(const char* format, ...) {
    if (format == nullptr) return;
    std::va_list args;
    va_start(args, format);
    const std::string text = formatText(format, args);
    va_end(args);
    glPushAttrib(GL_LIST_BIT);
    glListBase(static_cast<GLuint>(listBase - kFirstChar));
    glCallLists(static_cast<GLsizei>(text.size()), GL_UNSIGNED_BYTE, text.data());
    glListBase(0);
    glPopAttrib();
}

float OutlineFont::drawGlyph(char c, float scaleX, float scaleY, float angle, float spacing) {
    const int k = static_cast<signed char>(static_cast<unsigned char>(c) - kFirstChar);
    if (k < 0 || k >= kCharCount) return 0.0f;
    const float w = glyphMetrics[k].gmfCellIncX;
    const float h = glyphMetrics[k].gmfBlackBoxY;
    glPushMatrix();
    glTranslatef(w / 2, h / 2, 0.0f);
    glRotatef(angle, 0.0f, 0.0f, 1.0f);
    glScalef(scaleX, scaleY, 1.0f);
    glTranslatef(-w / 2, -h / 2, 0.0f);
    glCallList(static_cast<GLuint>(listBase + k));
    glPopMatrix();
    glTranslatef((spacing + 1.0f) * w, 0.0f, 0.0f);
    return w;
}

void OutlineFont::printTransformed(float x, float y, float size, float angle, float glyphScaleX, float glyphScaleY,
                                   float glyphAngle, float spacing, const char* format, ...) {
    if (format == nullptr) return;
    std::va_list args;
    va_start(args, format);
    const std::string text = formatText(format, args);
    va_end(args);
    glPushMatrix();
    glTranslatef(x, y, 0.0f);
    glRotatef(angle, 0.0f, 0.0f, 1.0f);
    glScalef(size, -size, 1.0f);
    for (char c : text) drawGlyph(c, glyphScaleX, glyphScaleY, glyphAngle, spacing);
    glPopMatrix();
}

void OutlineFont::release() { glDeleteLists(static_cast<GLuint>(listBase), kCharCount); }

}  // namespace assets
