#include "content/BandPass.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <type_traits>
#include <utility>

#include "content/BandTiles.h"
#include "effects/SceneSetup.h"
#include "effects/ScreenLayers.h"
#include "platform/GlEntryPoint.h"

namespace content {

namespace {

// The GL 2.0 entry points the programs use, looked up by BandPass::create (Windows' opengl32
// exports GL 1.1 only). Declared here under the GL names, they hide the global prototypes
// inside this namespace, so the calls below read as plain GL calls.
PFNGLACTIVETEXTUREPROC glActiveTexture = nullptr;
PFNGLATTACHSHADERPROC glAttachShader = nullptr;
PFNGLCOMPILESHADERPROC glCompileShader = nullptr;
PFNGLCREATEPROGRAMPROC glCreateProgram = nullptr;
PFNGLCREATESHADERPROC glCreateShader = nullptr;
PFNGLDELETEPROGRAMPROC glDeleteProgram = nullptr;
PFNGLDELETESHADERPROC glDeleteShader = nullptr;
PFNGLGETPROGRAMIVPROC glGetProgramiv = nullptr;
PFNGLGETSHADERIVPROC glGetShaderiv = nullptr;
PFNGLGETUNIFORMLOCATIONPROC glGetUniformLocation = nullptr;
PFNGLLINKPROGRAMPROC glLinkProgram = nullptr;
PFNGLSHADERSOURCEPROC glShaderSource = nullptr;
PFNGLUNIFORM1FPROC glUniform1f = nullptr;
PFNGLUNIFORM1IVPROC glUniform1iv = nullptr;
PFNGLUNIFORM4FVPROC glUniform4fv = nullptr;
PFNGLUSEPROGRAMPROC glUseProgram = nullptr;

// Looks every entry point above up in the current context; false when one is missing.
bool loadEntryPoints() {
    const auto load = [](auto& entry, const char* name) {
        entry = reinterpret_cast<std::remove_reference_t<decltype(entry)>>(platform::glEntryPoint(name));
        return entry != nullptr;
    };
    // Each is looked up, even after a miss, so that none is left from an earlier context.
    bool all = load(glActiveTexture, "glActiveTexture");
    all &= load(glAttachShader, "glAttachShader");
    all &= load(glCompileShader, "glCompileShader");
    all &= load(glCreateProgram, "glCreateProgram");
    all &= load(glCreateShader, "glCreateShader");
    all &= load(glDeleteProgram, "glDeleteProgram");
    all &= load(glDeleteShader, "glDeleteShader");
    all &= load(glGetProgramiv, "glGetProgramiv");
    all &= load(glGetShaderiv, "glGetShaderiv");
    all &= load(glGetUniformLocation, "glGetUniformLocation");
    all &= load(glLinkProgram, "glLinkProgram");
    all &= load(glShaderSource, "glShaderSource");
    all &= load(glUniform1f, "glUniform1f");
    all &= load(glUniform1iv, "glUniform1iv");
    all &= load(glUniform4fv, "glUniform4fv");
    all &= load(glUseProgram, "glUseProgram");
    return all;
}

// The rasteriser places vertices on a grid of 1/256 pixel.
constexpr double kSubpixels = 256.0;
constexpr int kBarRows = effects::kLetterboxRows / 2;
// Placed terms per program, at most. Each draw more costs the blend's read and write of its
// pixels (on llvmpipe, a program for every count up to 16 took 8 % fewer instructions a plain
// frame than counts of 16, 8, 4, 2 and 1), and each program costs its compile at start-up (from
// about 30 ms for one term to 430 ms for 16 with a cold shader cache): so a program for each
// count a tile often draws. The corner copies come four a level, so the counts are mostly
// even, and those of partly covering layers (the title's) mostly multiples of 4. Largest first
// (largestFitting), down to 1. A placed term's values take 11 of a program's varyings' 128
// components (32 vectors on llvmpipe; packed as termVaryings packs them, 16 covering terms take
// 28 vectors): 8 placed terms at most.
constexpr int kMostTerms = 16;
constexpr int kCoveringTerms[] = {16, 14, 12, 10, 8, 6, 4, 2, 1};
constexpr int kPlacedTerms[] = {8, 6, 4, 2, 1};
// Exact terms: one per level with weight, the levels of one quad in one draw.
constexpr int kMostExactTerms = BandPass::kLevelCount;
// The side of the band tiles, each drawing the terms that add something there: a quarter of
// llvmpipe's 64-pixel bins. Callgrind on plain frames: 6 % fewer instructions than tiles of 64,
// 5 % fewer than tiles of 16 (whose draws cost more than their terms save).
constexpr int kTileSide = 32;
// A level's texel maxima are kept in blocks, about this many across.
constexpr int kMaximaColumns = 64;

// Shared by every program: colour components as the frame buffer stores them. GLSL 1.30 rounds
// half to even in one instruction; 1.10 spells it out. Components are in 0 .. 1 already:
// they are samples. The programs take no fog: a fog that leaves the layers as they are costs
// nothing, and under one that replaces them with its colour the layers are flat (foggedLayers).
const char* const kHead130 = R"(#version 130
// round-half-even(c * 255): what the frame buffer stores for c.
vec3 level8(vec3 c) { return roundEven(c * 255.0); }
)";
const char* const kHead110 = R"(#version 110
// round-half-even(c * 255): what the frame buffer stores for c.
vec3 level8(vec3 c) {
    vec3 z = c * 255.0;
    vec3 f = floor(z);
    vec3 d = z - f;
    vec3 tie = vec3(equal(d, vec3(0.5)));
    return f + step(0.5, d) - tie * (1.0 - mod(f, 2.0));
}
)";
// The blend's product of an 8-bit colour s and an 8-bit alpha a is round(s * a / 255), never a
// tie: the shader gets a / 255 and rounds s * (a / 255) + 0.5 down (single precision is off by
// far less than the 1/510 that separates s * a / 255 from a half).

// Exact: on the layer's own quad. Placed: over the band, counted inside the layer's rectangle.
// Covering: placed terms whose layers cover the whole band (no rectangle to test).
enum class TermKind { Exact, Placed, Covering };

// llvmpipe's fragment programs read every uniform lane by lane (eight bounds-checked loads and
// inserts for each component a group of pixels reads: a fragment's first lane may be off, so the
// value is not loaded once), which took about a quarter of the band's time. Its vertex programs
// load a uniform once, and flat inputs are set up once a triangle: the vertex program copies the
// terms' uniforms into flat varyings and the fragment program reads those, the same values in
// the same operations. (Without GLSL 1.30 they are plain varyings, equal at every vertex.)
// One value the vertex program passes on; `value` is its expression of the program's uniforms.
// Exact terms' weights take a vector a term; placed and covering terms' weights go 4 terms to a
// vector a component (x, y, z: a float up to a vec4, the last group as long as its terms), their
// maps and rectangles a vector a term.
struct Varying {
    std::string name, type, value;
};

// Where the fragment program reads term j's component of the weights that the varyings `name`0,
// `name`1, ... carry 4 terms to a vector, of a program of `terms` terms.
std::string packedTerm(const std::string& name, int j, int terms) {
    const std::string v = name + std::to_string(j / 4);
    if (std::min(4, terms - j / 4 * 4) == 1) return v;
    return v + "." + "xyzw"[j % 4];
}

std::vector<Varying> termVaryings(int terms, TermKind kind) {
    std::vector<Varying> v;
    if (kind == TermKind::Exact) {
        for (int j = 0; j < terms; ++j) v.push_back({"vWeight" + std::to_string(j), "vec4", "weight[" + std::to_string(j) + "]"});
        v.push_back({"vAlphaSum", "float", "alphaSum"});
        return v;
    }
    const std::pair<const char*, char> parts[] = {{"vScale", 'x'}, {"vCount", 'y'}, {"vAlpha", 'z'}};
    for (int g = 0; g * 4 < terms; ++g) {
        const int n = std::min(4, terms - 4 * g);
        const std::string type = n == 1 ? "float" : "vec" + std::to_string(n);
        for (const auto& [name, component] : parts) {
            std::string value = type + "(";
            for (int i = 0; i < n; ++i)
                value += std::string(i > 0 ? ", " : "") + "weight[" + std::to_string(4 * g + i) + "]." + component;
            v.push_back({name + std::to_string(g), type, value + ")"});
        }
    }
    for (int j = 0; j < terms; ++j) {
        const std::string k = std::to_string(j);
        v.push_back({"vMap" + k, "vec4", "map[" + k + "]"});
        if (kind == TermKind::Placed) v.push_back({"vRect" + k, "vec4", "rect[" + k + "]"});
    }
    return v;
}

// The varyings' declarations: flat where the GLSL has it, `in` or `out` of a vertex program.
std::string varyingDeclarations(const std::vector<Varying>& varyings, bool glsl130, const char* direction) {
    std::string s;
    for (const Varying& v : varyings)
        s += (glsl130 ? std::string("flat ") + direction : std::string("varying")) + " " + v.type + " " + v.name + ";\n";
    return s;
}

// Term j: one sample of level[j] at `coordinate`, rounded, times the 8-bit alpha weight[j].x (as
// a / 255), counted weight[j].y times. Exact terms have a second alpha class (weight[j].z,
// counted weight[j].w times: the corner copies lying on the centred layer); placed terms count
// only inside the layer's rectangle rect[j] and bring their alpha channel's part, weight[j].z.
// (The fragment program reads them from the varyings termVaryings names.)
std::string termSource(int j, int terms, const std::string& coordinate, TermKind kind) {
    const std::string k = std::to_string(j);
    std::string s = "    {\n"
                    "        vec3 c = level8(texture2D(level[" + k + "], " + coordinate + ").rgb);\n";
    if (kind == TermKind::Exact) {
        const std::string w = "vWeight" + k;
        return s + "        sum.rgb += " + w + ".y * floor(c * " + w + ".x + 0.5) + " + w + ".w * floor(c * " + w +
               ".z + 0.5);\n    }\n";
    }
    const std::string term = "vec4(" + packedTerm("vCount", j, terms) + " * floor(c * " + packedTerm("vScale", j, terms) +
                             " + 0.5), " + packedTerm("vAlpha", j, terms) + ")";
    if (kind == TermKind::Placed) {
        s += "        vec4 r = vRect" + k + ";\n"
             "        float inside = step(r.x, p.x) * (1.0 - step(r.y, p.x)) * step(r.z, p.y) * (1.0 - step(r.w, p.y));\n"
             "        sum += inside * " + term + ";\n";
    } else {
        s += "        sum += " + term + ";\n";
    }
    return s + "    }\n";
}

// A program of `terms` terms. Exact terms sample at the interpolated texture coordinate of the
// layer's own quad (the one the fixed-function layer draws, so the very same coordinates);
// placed terms at a coordinate computed from the window position over a band-covering quad.
// The glow levels are RGB: every sample's alpha is 1, so a term's alpha is its layer's alpha.
std::string fragmentSource(int terms, TermKind kind, bool glsl130) {
    const bool placed = kind != TermKind::Exact;
    std::string s = glsl130 ? kHead130 : kHead110;
    s += "uniform sampler2D level[" + std::to_string(terms) + "];\n";
    s += varyingDeclarations(termVaryings(terms, kind), glsl130, "in");
    s += "void main() {\n    vec2 p = gl_FragCoord.xy;\n";
    s += placed ? "    vec4 sum = vec4(0.0);\n" : "    vec4 sum = vec4(0.0, 0.0, 0.0, vAlphaSum);\n";
    for (int j = 0; j < terms; ++j) {
        const std::string m = "vMap" + std::to_string(j);
        const std::string coordinate =
            placed ? "vec2(p.x * " + m + ".x + " + m + ".y, p.y * " + m + ".z + " + m + ".w)" : "gl_TexCoord[0].st";
        s += termSource(j, terms, coordinate, kind);
    }
    s += "    gl_FragColor = min(sum, 255.0) / 255.0;\n}\n";
    return s;
}

// ftransform: the very position the fixed-function pipeline computes. The terms' uniforms,
// passed on to the fragment program.
std::string vertexSource(int terms, TermKind kind, bool glsl130) {
    const std::string n = std::to_string(terms);
    std::string s = glsl130 ? "#version 130\n" : "#version 110\n";
    if (kind == TermKind::Exact) {
        s += "uniform vec4 weight[" + n + "];  // alpha a / 255, count a, alpha b / 255, count b\n";
        s += "uniform float alphaSum;         // the alpha channel's part of every term\n";
    } else {
        s += "uniform vec4 weight[" + n + "];  // alpha / 255, count, alpha channel's part\n";
        s += "uniform vec4 map[" + n + "];     // s = x * map.x + map.y, t = y * map.z + map.w (window pixels)\n";
        if (kind == TermKind::Placed)
            s += "uniform vec4 rect[" + n + "];    // covered: x0 <= x < x1, y0 <= y < y1 (window pixels)\n";
    }
    const std::vector<Varying> varyings = termVaryings(terms, kind);
    s += varyingDeclarations(varyings, glsl130, "out");
    s += "void main() {\n    gl_Position = ftransform();\n";
    if (kind == TermKind::Exact) s += "    gl_TexCoord[0] = gl_MultiTexCoord0;\n";
    for (const Varying& v : varyings) s += "    " + v.name + " = " + v.value + ";\n";
    return s + "}\n";
}

GLuint compile(GLenum kind, const std::string& source) {
    const GLuint shader = glCreateShader(kind);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok != GL_TRUE) {
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

// The "major.minor" a version string starts with ({0, 0} when there is none). GLSL versions
// always have a two-digit minor ("1.30", "4.50").
std::pair<int, int> versionOf(GLenum name) {
    const auto* text = reinterpret_cast<const char*>(glGetString(name));
    int major = 0, minor = 0;
    if (!text || std::sscanf(text, "%d.%d", &major, &minor) != 2) return {0, 0};
    return {major, minor};
}

// One sampled term: a glow level at one placement, with up to two alphas.
struct Slot {
    int level;
    float map[4];
    float rect[4];
    float weight[4];  // alpha a, count a, alpha b, count b
    BandLayer placement;  // its alpha unused
};

float snapToGrid(double x) {
    return static_cast<float>(std::nearbyint(x * kSubpixels) / kSubpixels);
}

// Where a layer lands in the window: the texture coordinate as a function of the window position
// and the covered rectangle, from the same transforms drawLetterboxLayer sets up.
void placeLayer(const BandLayer& layer, int width, int height, float* map, float* rect) {
    const double w = width, h = height;
    const double vx = 0, vy = kBarRows, vw = width, vh = height - effects::kLetterboxRows;
    const double sx = static_cast<double>(static_cast<float>(w * layer.scaleX));  // as glScalef gets it
    const double sy = static_cast<double>(static_cast<float>(h * layer.scaleY));
    const double cx = layer.offsetX + static_cast<double>(static_cast<float>(w * 0.5f));
    const double cy = layer.offsetY + static_cast<double>(static_cast<float>(h * 0.5f));
    // Layer space x = cx + sx (u - 0.5) lands at window x = vx + x vw / w; s = u.
    const double ax = w / (vw * sx);
    map[0] = static_cast<float>(ax);
    map[1] = static_cast<float>(0.5 - (cx + vx * w / vw) / sx);
    // Layer space y = cy + sy (v - 0.5) (y down) lands at window y = vy + vh (1 - y / h); t = 1 - v.
    map[2] = static_cast<float>(h / (vh * sy));
    map[3] = static_cast<float>(0.5 - (h - cy + vy * h / vh) / sy);
    const double x0 = vx + (cx - 0.5 * sx) * vw / w, x1 = vx + (cx + 0.5 * sx) * vw / w;
    const double y0 = vy + vh * (1 - (cy - 0.5 * sy) / h), y1 = vy + vh * (1 - (cy + 0.5 * sy) / h);
    rect[0] = snapToGrid(std::min(x0, x1));
    rect[1] = snapToGrid(std::max(x0, x1));
    rect[2] = snapToGrid(std::min(y0, y1));
    rect[3] = snapToGrid(std::max(y0, y1));
}

// The unit square as drawLetterboxLayer emits it: texture t = 1 at y = 0 (the top, y down).
void drawUprightUnitQuad() {
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(0.0f, 0.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(1.0f, 0.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(1.0f, 1.0f);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(0.0f, 1.0f);
    glEnd();
}

// A layer's quad through the very transforms drawLetterboxLayer applies (angle 0).
void drawLayerQuad(float offsetX, float offsetY, float scaleX, float scaleY, int width, int height) {
    glPushMatrix();
    glTranslatef(offsetX, offsetY, 0.0f);
    glTranslatef(width * 0.5f, height * 0.5f, 0.0f);
    glScalef(width * scaleX, height * scaleY, 1.0f);
    glRotatef(0.0f, 0.0f, 0.0f, 1.0f);
    glTranslatef(-0.5f, -0.5f, 0.0f);
    drawUprightUnitQuad();
    glPopMatrix();
}

// round(s * a / 255): the blend's product of an 8-bit colour s and an 8-bit alpha a.
int blendProduct(int s, int a) {
    const int t = s * a;
    return (t + (t >> 8) + 0x80) >> 8;
}

// What the blend makes of a layer alpha: the 8-bit alpha a the frame buffer takes, as a / 255
// for the shader, and the alpha channel's own term round(a * a / 255).
struct BlendAlpha {
    float scale;
    int alphaTerm;
};
BlendAlpha blendAlpha(float alpha) {
    const int a = frameBufferLevel(alpha);
    return {static_cast<float>(a) / 255.0f, blendProduct(a, a)};
}

// Adds alpha to one of a term's two alpha classes; false when both hold other alphas.
bool addAlpha(float* weight, float alpha) {
    if (weight[1] > 0 && weight[0] == alpha) {
        weight[1] += 1;
    } else if (weight[1] == 0) {
        weight[0] = alpha;
        weight[1] = 1;
    } else if (weight[3] == 0 || weight[2] == alpha) {
        weight[2] = alpha;
        weight[3] += 1;
    } else {
        return false;
    }
    return true;
}

// Layers without offset (the centred layers and the streaks) drawn on their own quad, one draw
// for all levels: the same rasterisation and texture coordinates as the fixed-function layer,
// so their samples are the same to the bit. The centred layers carry most of the weight; a
// sample a unit in the last place apart could tip it across a rounding edge, and with the corner
// copies of the title section lying on the centred layer one tipped sample moves five terms.
struct ExactDraw {
    float scaleX, scaleY;
    float weight[BandPass::kLevelCount][4];
};

// The offset layers (the corner copies, small alphas) as placed terms over the whole band.
// A layer whose colour adds nothing still adds round(a * a / 255) to the alpha channel; those
// are drawn flat, one quad for each placement, with the sum of their alpha terms. So are the
// layers that add the same colour to every pixel they cover (under a fog that replaces their
// colour), with the sum of their colours.
struct FlatLayer {
    BandLayer placement;  // its alpha unused
    int alphaTerm;
    int colour[3] = {0, 0, 0};  // 0 .. 255 each, and above: the blend saturates
};

// Adds a flat layer's colour and alpha term to the one of the same placement in `flat`, or
// appends it.
void addFlat(std::vector<FlatLayer>& flat, const FlatLayer& layer) {
    const BandLayer& l = layer.placement;
    const auto same = std::find_if(flat.begin(), flat.end(), [&](const FlatLayer& f) {
        const BandLayer& p = f.placement;
        return p.offsetX == l.offsetX && p.offsetY == l.offsetY && p.scaleX == l.scaleX && p.scaleY == l.scaleY;
    });
    if (same == flat.end()) {
        flat.push_back(layer);
        return;
    }
    same->alphaTerm += layer.alphaTerm;
    for (int c = 0; c < 3; ++c) same->colour[c] += layer.colour[c];
}

struct Plan {
    std::vector<ExactDraw> exact;
    std::vector<Slot> placed;
    std::vector<FlatLayer> alphaOnly;
};

// Layers that round to alpha 0 add nothing and are left out; layers of one level at the same
// placement share a sample. No fog falls on the layers.
Plan planFor(const std::vector<BandLayer>& layers, int width, int height, const std::array<int, BandPass::kLevelCount>& peaks) {
    Plan plan;
    for (const BandLayer& layer : layers) {
        const float alpha = std::clamp(layer.alpha, 0.0f, 1.0f);
        if (layerAddsNothing(alpha, peaks[static_cast<std::size_t>(layer.level)], LayerFog{})) {
            const int alphaTerm = blendAlpha(alpha).alphaTerm;
            if (alphaTerm > 0) addFlat(plan.alphaOnly, {layer, alphaTerm});
            continue;
        }
        if (layer.offsetX == 0 && layer.offsetY == 0) {
            auto draw = std::find_if(plan.exact.begin(), plan.exact.end(), [&](const ExactDraw& d) {
                return d.scaleX == layer.scaleX && d.scaleY == layer.scaleY;
            });
            if (draw == plan.exact.end()) {
                plan.exact.push_back(ExactDraw{layer.scaleX, layer.scaleY, {}});
                draw = plan.exact.end() - 1;
            }
            if (addAlpha(draw->weight[layer.level], alpha)) continue;
        }
        Slot s{};
        s.level = layer.level;
        s.placement = layer;
        placeLayer(layer, width, height, s.map, s.rect);
        const auto same = std::find_if(plan.placed.begin(), plan.placed.end(), [&](const Slot& other) {
            return other.level == s.level && other.weight[0] == alpha && std::memcmp(other.map, s.map, sizeof s.map) == 0 &&
                   std::memcmp(other.rect, s.rect, sizeof s.rect) == 0;
        });
        if (same != plan.placed.end()) {
            same->weight[1] += 1;
            continue;
        }
        s.weight[0] = alpha;
        s.weight[1] = 1;
        plan.placed.push_back(s);
    }
    return plan;
}

// Where a term can add anything: its level, its 8-bit alphas (up to two classes, each counted
// some times), and where it lands (the window rectangle it covers and the texture coordinate as
// a function of the window position).
struct TermReach {
    int level = -1;  // -1: no term (a level without weight in an exact draw)
    int alpha = 0;   // the largest of its alphas
    int alphas[2] = {};
    int counts[2] = {};
    float map[4] = {};
    float rect[4] = {};

    // Whether a sample it takes over window pixels x0 <= x < x1, y0 <= y < y1 can add a level:
    // its alpha times the largest texel of that footprint reaches 128.
    bool addsIn(const std::array<TexelMaxima, BandPass::kLevelCount>& maxima, int x0, int y0, int x1, int y1) const {
        if (level < 0) return false;
        const double ix0 = std::max<double>(x0, rect[0]), ix1 = std::min<double>(x1, rect[1]);
        const double iy0 = std::max<double>(y0, rect[2]), iy1 = std::min<double>(y1, rect[3]);
        if (ix0 >= ix1 || iy0 >= iy1) return false;
        const int peak = maxima[static_cast<std::size_t>(level)].bound(ix0 * map[0] + map[1], ix1 * map[0] + map[1],
                                                                       iy0 * map[2] + map[3], iy1 * map[2] + map[3]);
        return peak * alpha >= 128;
    }

    // Whether it adds one colour to every pixel of x0 <= x < x1, y0 <= y < y1: its level is of
    // one colour, its quad covers them all and no sample there weighs the border. Then adds that
    // colour (in the maxima's byte order) to sum.
    bool sameIn(const std::array<TexelMaxima, BandPass::kLevelCount>& maxima, int x0, int y0, int x1, int y1,
                int* sum) const {
        if (level < 0 || rect[0] > x0 || rect[1] < x1 || rect[2] > y0 || rect[3] < y1) return false;
        const TexelMaxima& m = maxima[static_cast<std::size_t>(level)];
        int colour[3];
        if (!m.uniform(colour) ||
            !m.inside(x0 * map[0] + map[1], x1 * map[0] + map[1], y0 * map[2] + map[3], y1 * map[2] + map[3]))
            return false;
        for (int k = 0; k < 2; ++k)
            for (int c = 0; c < 3; ++c) sum[c] += counts[k] * blendProduct(colour[c], alphas[k]);
        return true;
    }
};

// Every term of the plan, indexed as drawTerms reads `live`: level i of exact draw d at
// d * kLevelCount + i, then the placed terms in order.
std::vector<TermReach> termReach(const Plan& plan, int width, int height) {
    std::vector<TermReach> reach(plan.exact.size() * BandPass::kLevelCount + plan.placed.size());
    for (std::size_t d = 0; d < plan.exact.size(); ++d) {
        const ExactDraw& draw = plan.exact[d];
        for (int i = 0; i < BandPass::kLevelCount; ++i) {
            const float* w = draw.weight[i];
            if (w[1] == 0 && w[3] == 0) continue;
            TermReach& r = reach[d * BandPass::kLevelCount + static_cast<std::size_t>(i)];
            r.level = i;
            for (int c = 0; c < 2; ++c) {
                r.alphas[c] = w[2 * c + 1] > 0 ? frameBufferLevel(w[2 * c]) : 0;
                r.counts[c] = static_cast<int>(w[2 * c + 1]);
            }
            r.alpha = std::max(r.alphas[0], r.alphas[1]);
            placeLayer({i, 0.0f, 0.0f, 0.0f, draw.scaleX, draw.scaleY}, width, height, r.map, r.rect);
        }
    }
    for (std::size_t k = 0; k < plan.placed.size(); ++k) {
        const Slot& s = plan.placed[k];
        TermReach& r = reach[plan.exact.size() * BandPass::kLevelCount + k];
        r.level = s.level;
        r.alpha = r.alphas[0] = frameBufferLevel(s.weight[0]);
        r.counts[0] = static_cast<int>(s.weight[1]);
        std::memcpy(r.map, s.map, sizeof r.map);
        std::memcpy(r.rect, s.rect, sizeof r.rect);
    }
    return reach;
}

// Whether a layer's quad covers the whole band with a pixel to spare on every side, so that
// every band pixel is covered whatever the rounding of its edges.
bool coversBand(const BandLayer& placement, int width, int height) {
    float map[4], rect[4];
    placeLayer(placement, width, height, map, rect);
    return rect[0] <= -1.0f && rect[1] >= width + 1.0f && rect[2] <= kBarRows - 1.0f &&
           rect[3] >= height - kBarRows + 1.0f;
}

// Flat, unfogged, untextured quads placed as drawLetterboxLayer places them (its rasterisation,
// so the same pixels), each adding its colour and its alpha term (saturated at 255). The layers
// that cover the whole band are summed into one quad over the band.
void drawFlatLayers(const std::vector<FlatLayer>& layers, int width, int height) {
    if (layers.empty()) return;
    std::vector<FlatLayer> flat;
    FlatLayer band{{0, 0.0f, 0.0f, 0.0f, 1.0f, 1.0f}, 0};  // exactly the band
    bool anyCovering = false;
    for (const FlatLayer& f : layers) {
        if (!coversBand(f.placement, width, height)) {
            flat.push_back(f);
            continue;
        }
        anyCovering = true;
        band.alphaTerm += f.alphaTerm;
        for (int c = 0; c < 3; ++c) band.colour[c] += f.colour[c];
    }
    if (anyCovering) addFlat(flat, band);
    const GLboolean fogOn = glIsEnabled(GL_FOG);
    glDisable(GL_FOG);
    glActiveTexture(GL_TEXTURE0);
    glDisable(GL_TEXTURE_2D);
    for (const FlatLayer& f : flat) {
        const BandLayer& l = f.placement;
        const auto level = [](int sum) { return static_cast<GLubyte>(std::min(sum, 255)); };
        glColor4ub(level(f.colour[0]), level(f.colour[1]), level(f.colour[2]), level(f.alphaTerm));
        drawLayerQuad(l.offsetX, l.offsetY, l.scaleX, l.scaleY, width, height);
    }
    if (fogOn == GL_TRUE) glEnable(GL_FOG);
}

// A band tile (window pixels x0 <= x < x1, y0 <= y < y1) and the colour its terms that add one
// colour all over it add together, in the order of TexelMaxima's bytes (BGR).
struct FlatTile {
    int x0, y0, x1, y1;
    int sum[3];
};

// The tiles' colours added as flat quads on the tiles' pixel edges (each pixel covered once),
// one draw; a sum over 255 saturates as the terms would. Untextured, unfogged, alpha 0, in the
// state of drawFlatLayers (smooth shading: a quad's corners have one colour), whose machine code
// the GL made at start-up (warmUp). Leaves the screen ortho.
void drawFlatTiles(const std::vector<FlatTile>& tiles, int width, int height) {
    if (tiles.empty()) return;
    const GLboolean fogOn = glIsEnabled(GL_FOG);
    glDisable(GL_FOG);
    glActiveTexture(GL_TEXTURE0);
    glDisable(GL_TEXTURE_2D);
    // Window pixels over the band viewport.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, width, kBarRows, height - kBarRows, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glBegin(GL_QUADS);
    for (const FlatTile& t : tiles) {
        const auto level = [&t](int c) { return static_cast<GLubyte>(std::min(t.sum[c], 255)); };
        glColor4ub(level(2), level(1), level(0), 0);
        glVertex2i(t.x0, t.y0);
        glVertex2i(t.x1, t.y0);
        glVertex2i(t.x1, t.y1);
        glVertex2i(t.x0, t.y1);
    }
    glEnd();
    effects::setScreenOrtho(width, height);
    if (fogOn == GL_TRUE) glEnable(GL_FOG);
}

// Under a fog that replaces the layers' colour, every sample a layer takes is the fog colour F,
// whatever its level: the layer adds round(F a / 255) to the colour and round(a a / 255) to the
// alpha of each pixel its quad covers (a its 8-bit alpha), as a flat quad; the layers of one
// placement are summed into one.
std::vector<FlatLayer> foggedLayers(const std::vector<BandLayer>& layers, const LayerFog& fog) {
    int fogLevel[3];
    for (int c = 0; c < 3; ++c) fogLevel[c] = frameBufferLevel(fog.add[c]);
    std::vector<FlatLayer> flat;
    for (const BandLayer& layer : layers) {
        const int a = frameBufferLevel(layer.alpha);
        if (a == 0) continue;
        FlatLayer f{layer, blendProduct(a, a)};
        for (int c = 0; c < 3; ++c) f.colour[c] = blendProduct(fogLevel[c], a);
        addFlat(flat, f);
    }
    return flat;
}

}  // namespace

std::vector<BandLayer> bandLayers(const TitleShape& shape, double glowMix, float flash, double burstStrength,
                                  float swell1, float swell2) {
    const auto scaleX = static_cast<float>(1.25 * shape.k);
    const auto scaleY = static_cast<float>(1.25 * shape.l);
    const bool streaks = (flash > 0.025f && burstStrength > 1.95) || swell2 > 0.1f;
    const auto streakAlpha = static_cast<float>(flash + 0.1 * swell1);
    const float streakScales[4][2] = {{static_cast<float>(2.5 * shape.k), scaleY},
                                      {static_cast<float>(2.5 * shape.k), -scaleY},
                                      {scaleX, static_cast<float>(2.5 * shape.l)},
                                      {-scaleX, static_cast<float>(2.5 * shape.l)}};
    std::vector<BandLayer> layers;
    layers.reserve(BandPass::kLevelCount * 9);
    for (int level = 0; level < BandPass::kLevelCount; ++level) {
        const GlowLevelWeights weights = glowLevelWeights(level, glowMix, swell2, shape.b);
        const auto o = static_cast<float>(weights.spread);
        const auto corner = static_cast<float>(weights.cornerAlpha);
        layers.push_back({level, static_cast<float>(weights.centreAlpha), 0, 0, scaleX, scaleY});
        layers.push_back({level, corner, -o, -o, scaleX, scaleY});
        layers.push_back({level, corner, +o, -o, scaleX, scaleY});
        layers.push_back({level, corner, -o, +o, scaleX, scaleY});
        layers.push_back({level, corner, +o, +o, scaleX, scaleY});
        if (streaks) {
            for (const auto& s : streakScales) layers.push_back({level, streakAlpha, 0, 0, s[0], s[1]});
        }
    }
    return layers;
}

// Fog at eye distance 0 (where the layers lie): the factor (1 leaves a layer's colour, 0
// replaces it by the fog colour) and the colour it blends in, (1 - factor) * fog colour.
LayerFog layerFogInForce() {
    LayerFog fog;
    if (glIsEnabled(GL_FOG) != GL_TRUE) return fog;
    GLint mode = GL_EXP;
    glGetIntegerv(GL_FOG_MODE, &mode);
    if (mode != GL_LINEAR) return fog;  // exp(-density * 0) = 1
    float start = 0, end = 0, colour[4] = {};
    glGetFloatv(GL_FOG_START, &start);
    glGetFloatv(GL_FOG_END, &end);
    glGetFloatv(GL_FOG_COLOR, colour);
    const float factor = end == start ? (end > 0 ? 1.0f : 0.0f) : std::clamp(end / (end - start), 0.0f, 1.0f);
    fog.keep = factor;
    for (int c = 0; c < 3; ++c) fog.add[c] = (1.0f - factor) * std::clamp(colour[c], 0.0f, 1.0f);
    return fog;
}

bool layerAddsNothing(float alpha, int peak, const LayerFog& fog) {
    const int a = frameBufferLevel(alpha);
    if (a == 0) return true;  // the sample's alpha (at most 1) times alpha rounds to 0
    // The brightest sample the layer can have, fogged (its components at most the peak's and the
    // fog's largest), as the frame buffer takes it; the blend's product rounds to 0 below 128.
    const float add = std::max({fog.add[0], fog.add[1], fog.add[2]});
    const int sample = frameBufferLevel(fog.keep * static_cast<float>(std::clamp(peak, 0, 255)) / 255.0f + add);
    return sample * a < 128;
}

int frameBufferLevel(float c) {
    const float z = std::clamp(c, 0.0f, 1.0f) * 255.0f;
    const float f = std::floor(z);
    const float d = z - f;
    const int n = static_cast<int>(f);
    if (d > 0.5f) return n + 1;
    if (d < 0.5f) return n;
    return n + (n & 1);
}

struct BandPass::Program {
    GLuint program = 0;
    int terms = 0;
    GLint level = -1, map = -1, rect = -1, weight = -1, alphaSum = -1;

    ~Program() {
        if (program != 0) glDeleteProgram(program);
    }

    // Null when the program does not build.
    static std::unique_ptr<Program> build(int terms, TermKind kind, bool glsl130) {
        const GLuint vertex = compile(GL_VERTEX_SHADER, vertexSource(terms, kind, glsl130));
        const GLuint fragment = compile(GL_FRAGMENT_SHADER, fragmentSource(terms, kind, glsl130));
        if (vertex == 0 || fragment == 0) {
            if (vertex != 0) glDeleteShader(vertex);
            if (fragment != 0) glDeleteShader(fragment);
            return nullptr;
        }
        auto p = std::make_unique<Program>();
        p->terms = terms;
        p->program = glCreateProgram();
        glAttachShader(p->program, vertex);
        glAttachShader(p->program, fragment);
        glLinkProgram(p->program);
        glDeleteShader(vertex);  // both freed with the program
        glDeleteShader(fragment);
        GLint linked = GL_FALSE;
        glGetProgramiv(p->program, GL_LINK_STATUS, &linked);
        if (linked != GL_TRUE) return nullptr;
        p->level = glGetUniformLocation(p->program, "level");
        p->map = glGetUniformLocation(p->program, "map");
        p->rect = glGetUniformLocation(p->program, "rect");
        p->weight = glGetUniformLocation(p->program, "weight");
        p->alphaSum = glGetUniformLocation(p->program, "alphaSum");
        return p;
    }

    void use() const { glUseProgram(program); }
};

// The largest of `programs` (largest first, the last of one term) with at most `left` terms.
template <typename Programs>
auto largestFitting(const Programs& programs, std::size_t left) -> decltype(programs.back().get()) {
    for (const auto& candidate : programs)
        if (static_cast<std::size_t>(candidate->terms) <= left) return candidate.get();
    return programs.back().get();
}

namespace {

// The terms that `live` keeps, over the current scissor rectangle: the exact terms on their
// layers' quads, the placed ones over the band or their rectangles, then the alpha channel's
// part of the terms left out, flat.
template <typename Programs>
void drawTerms(const Plan& plan, const std::vector<bool>& live, int width, int height, const Programs& exact,
               const Programs& placed, const Programs& covering) {
    std::vector<FlatLayer> flat;
    // Each unoffset quad exactly as drawLetterboxLayer places it, texture coordinates included,
    // once per group of levels with weight (by the largest programs that fit). The first draw of
    // a quad brings the alpha channel's part of all its terms.
    for (std::size_t d = 0; d < plan.exact.size(); ++d) {
        const ExactDraw& draw = plan.exact[d];
        int active[BandPass::kLevelCount];
        std::size_t count = 0;
        int alphaSum = 0;
        for (int i = 0; i < BandPass::kLevelCount; ++i) {
            for (int c = 0; c < 2; ++c) {
                const float* w = &draw.weight[i][2 * c];
                if (w[1] > 0) alphaSum += static_cast<int>(w[1]) * blendAlpha(w[0]).alphaTerm;
            }
            if ((draw.weight[i][1] > 0 || draw.weight[i][3] > 0) && live[d * BandPass::kLevelCount + static_cast<std::size_t>(i)])
                active[count++] = i;
        }
        if (count == 0 && alphaSum > 0) flat.push_back({{0, 0.0f, 0.0f, 0.0f, draw.scaleX, draw.scaleY}, alphaSum});
        std::size_t next = 0;
        while (next < count) {
            const auto* p = largestFitting(exact, count - next);
            GLint samplers[BandPass::kLevelCount];
            float weight[BandPass::kLevelCount][4] = {};
            for (int j = 0; j < p->terms; ++j) {
                const int level = active[next + static_cast<std::size_t>(j)];
                samplers[j] = level;
                for (int c = 0; c < 2; ++c) {
                    const float* w = &draw.weight[level][2 * c];
                    if (w[1] == 0) continue;
                    weight[j][2 * c] = blendAlpha(w[0]).scale;
                    weight[j][2 * c + 1] = w[1];
                }
            }
            p->use();
            glUniform1iv(p->level, p->terms, samplers);
            glUniform4fv(p->weight, p->terms, &weight[0][0]);
            glUniform1f(p->alphaSum, static_cast<float>(next == 0 ? alphaSum : 0));
            drawLayerQuad(0.0f, 0.0f, draw.scaleX, draw.scaleY, width, height);
            next += static_cast<std::size_t>(p->terms);
        }
    }

    // The placed terms over the whole band, by the largest programs that fit; layers covering
    // the whole band need no rectangle test.
    const float bandBottom = kBarRows, bandTop = static_cast<float>(height - kBarRows);
    std::vector<Slot> coveringSlots, partialSlots;
    const std::size_t firstPlaced = plan.exact.size() * BandPass::kLevelCount;
    for (std::size_t k = 0; k < plan.placed.size(); ++k) {
        const Slot& slot = plan.placed[k];
        if (!live[firstPlaced + k]) {
            const int alphaPart = static_cast<int>(slot.weight[1]) * blendAlpha(slot.weight[0]).alphaTerm;
            if (alphaPart > 0) flat.push_back({slot.placement, alphaPart});
            continue;
        }
        const bool covers = slot.rect[0] <= 0.5f && slot.rect[1] > width - 0.5f && slot.rect[2] <= bandBottom + 0.5f &&
                            slot.rect[3] > bandTop - 0.5f;
        (covers ? coveringSlots : partialSlots).push_back(slot);
    }
    auto drawPlaced = [&](const std::vector<Slot>& slots, const Programs& programs) {
        std::size_t next = 0;
        while (next < slots.size()) {
            const auto* p = largestFitting(programs, slots.size() - next);
            GLint samplers[kMostTerms];
            float map[kMostTerms][4], rect[kMostTerms][4], weight[kMostTerms][4];
            for (int j = 0; j < p->terms; ++j) {
                const Slot& s = slots[next + static_cast<std::size_t>(j)];
                samplers[j] = s.level;
                std::memcpy(map[j], s.map, sizeof s.map);
                std::memcpy(rect[j], s.rect, sizeof s.rect);
                const BlendAlpha b = blendAlpha(s.weight[0]);
                weight[j][0] = b.scale;
                weight[j][1] = s.weight[1];
                weight[j][2] = s.weight[1] * static_cast<float>(b.alphaTerm);
                weight[j][3] = 0;
            }
            p->use();
            glUniform1iv(p->level, p->terms, samplers);
            glUniform4fv(p->map, p->terms, &map[0][0]);
            if (p->rect >= 0) glUniform4fv(p->rect, p->terms, &rect[0][0]);
            glUniform4fv(p->weight, p->terms, &weight[0][0]);
            // Only the pixels a term can count in: the band, or the union of the rectangles to
            // whole pixels (a pixel counts when its centre is inside), in layer space units.
            double x0 = 0, x1 = width, y0 = bandBottom, y1 = bandTop;
            if (p->rect >= 0) {
                x0 = y0 = 1e9;
                x1 = y1 = -1e9;
                for (int j = 0; j < p->terms; ++j) {
                    const float* r = rect[j];
                    x0 = std::min(x0, std::floor(static_cast<double>(r[0])));
                    x1 = std::max(x1, std::ceil(static_cast<double>(r[1])));
                    y0 = std::min(y0, std::floor(static_cast<double>(r[2])));
                    y1 = std::max(y1, std::ceil(static_cast<double>(r[3])));
                }
                x0 = std::max(x0, 0.0), x1 = std::min(x1, static_cast<double>(width));
                y0 = std::max(y0, static_cast<double>(bandBottom)), y1 = std::min(y1, static_cast<double>(bandTop));
            }
            if (x0 < x1 && y0 < y1) {
                // Window row y lies at layer space height (1 - (y - band bottom) / band rows) * height.
                const double rows = bandTop - bandBottom;
                const auto top = static_cast<float>((1.0 - (y1 - bandBottom) / rows) * height);
                const auto bottom = static_cast<float>((1.0 - (y0 - bandBottom) / rows) * height);
                glBegin(GL_QUADS);
                glVertex2f(static_cast<float>(x0), top);
                glVertex2f(static_cast<float>(x1), top);
                glVertex2f(static_cast<float>(x1), bottom);
                glVertex2f(static_cast<float>(x0), bottom);
                glEnd();
            }
            next += static_cast<std::size_t>(p->terms);
        }
    };
    drawPlaced(coveringSlots, covering);
    drawPlaced(partialSlots, placed);
    glUseProgram(0);
    drawFlatLayers(flat, width, height);
}

}  // namespace

BandPass::BandPass() = default;

BandPass::~BandPass() = default;

std::unique_ptr<BandPass> BandPass::create() {
    if (versionOf(GL_VERSION).first < 2 || !loadEntryPoints()) return nullptr;
    const bool glsl130 = versionOf(GL_SHADING_LANGUAGE_VERSION) >= std::pair<int, int>{1, 30};
    GLint units = 0;
    glGetIntegerv(GL_MAX_TEXTURE_IMAGE_UNITS, &units);
    if (units < kLevelCount) return nullptr;
    std::unique_ptr<BandPass> pass(new BandPass());
    // Largest first (largestFitting).
    for (int terms = kMostExactTerms; terms >= 1; --terms) {
        if (auto p = Program::build(terms, TermKind::Exact, glsl130)) pass->exact_.push_back(std::move(p));
    }
    for (int terms : kPlacedTerms) {
        if (auto p = Program::build(terms, TermKind::Placed, glsl130)) pass->placed_.push_back(std::move(p));
    }
    for (int terms : kCoveringTerms) {
        if (auto p = Program::build(terms, TermKind::Covering, glsl130)) pass->covering_.push_back(std::move(p));
    }
    if (pass->exact_.size() != static_cast<std::size_t>(kMostExactTerms) || pass->placed_.size() != std::size(kPlacedTerms) ||
        pass->covering_.size() != std::size(kCoveringTerms))
        return nullptr;
    // As the render targets are (format, size a power of 2, filter and wrap), so that the
    // programs compiled for the levels serve it too.
    pass->warmUp();
    return pass;
}

// llvmpipe turns a program into machine code at its first draw: with a cold shader cache that
// took up to a second and a half per program on the loaded 2-core machine, a stall in the middle
// of the show the first time a burst or the streaks come. (All 25 programs: about 2.7 s of CPU
// at a start with a cold shader cache on this machine, 4.9 s for the 41 of a program for every
// count; under a second once Mesa's shader cache holds them.) One draw of each program in the state
// compose draws in (blending GL_ONE, GL_ONE; RGB levels, linear, clamped) moves it to start-up,
// and one untextured, unfogged quad does the same for the flat layers' and tiles' fixed-function
// drawing. The draws add nothing (every weight and the quad's colour are 0) to one pixel; the GL
// state is put back.
void BandPass::warmUp() const {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    GLint active = GL_TEXTURE0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    GLint found[kLevelCount] = {};
    {
        std::vector<std::unique_ptr<assets::Texture>> levels;
        for (int i = 0; i < kLevelCount; ++i) {
            levels.push_back(std::make_unique<assets::Texture>(2, 2));  // as the content's render targets
            levels.back()->setRepeat(false);
        }
        for (int i = kLevelCount - 1; i >= 0; --i) {
            glActiveTexture(GL_TEXTURE0 + i);
            glGetIntegerv(GL_TEXTURE_BINDING_2D, &found[i]);
            glBindTexture(GL_TEXTURE_2D, levels[static_cast<std::size_t>(i)]->glName);
        }
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glViewport(0, 0, 1, 1);
        effects::setScreenOrtho(1, 1);
        glDisable(GL_DEPTH_TEST);
        glDepthMask(GL_FALSE);
        glDisable(GL_CULL_FACE);
        glShadeModel(GL_SMOOTH);
        glEnable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ONE);
        GLint units[kMostTerms];
        for (int i = 0; i < kMostTerms; ++i) units[i] = i % kLevelCount;
        for (const auto* programs : {&exact_, &placed_, &covering_}) {
            for (const auto& p : *programs) {
                glUseProgram(p->program);
                glUniform1iv(p->level, p->terms, units);
                drawUprightUnitQuad();
            }
        }
        glUseProgram(0);
        // And the flat quads (drawFlatLayers, drawFlatTiles: the white section and the end fade).
        glDisable(GL_FOG);
        glDisable(GL_TEXTURE_2D);
        glColor4f(0.0f, 0.0f, 0.0f, 0.0f);
        drawUprightUnitQuad();
        glFinish();  // the compiles happen now, not at the first frame
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
        for (int i = kLevelCount - 1; i >= 0; --i) {
            glActiveTexture(GL_TEXTURE0 + i);
            glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(found[i]));
        }
        glActiveTexture(static_cast<GLenum>(active));
    }
    glPopAttrib();
}

bool BandPass::compose(const std::vector<BandLayer>& layers,
                       const std::array<assets::Texture*, kLevelCount>& levels, int width, int height) {
    std::array<int, kLevelCount> unknown;
    unknown.fill(255);
    return compose(layers, levels, width, height, unknown);
}

bool BandPass::compose(const std::vector<BandLayer>& layers, const std::array<assets::Texture*, kLevelCount>& levels,
                       int width, int height, const std::array<int, kLevelCount>& peaks) {
    if (height - effects::kLetterboxRows <= 0 || width <= 0 || layers.empty()) return false;
    for (const assets::Texture* level : levels)
        if (!level || !level->uploaded || level->internalFormat != GL_RGB) return false;
    for (const BandLayer& layer : layers)
        if (layer.level < 0 || layer.level >= kLevelCount) return false;

    // A fog that replaces the layers' colour (the white section, the first beat) makes every
    // sample its colour: each layer is a flat quad. A fog between (only before the first beat)
    // is left to the fixed-function layers.
    const LayerFog fog = layerFogInForce();
    if (fog.keep != 0.0f && fog.keep != 1.0f) return false;

    effects::setBandViewport(width, height);
    effects::setScreenOrtho(width, height);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glDisable(GL_CULL_FACE);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);  // each draw adds whole levels, saturating like the layers

    if (fog.keep == 0.0f)
        drawFlatLayers(foggedLayers(layers, fog), width, height);
    else
        sumLayers(layers, levels, width, height, peaks);

    // What the last layer drawn by drawLetterboxLayer leaves.
    const BandLayer& last = layers.back();
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glColor4f(1.0f, 1.0f, 1.0f, last.alpha);
    levels[static_cast<std::size_t>(last.level)]->bind();
    return true;
}

void BandPass::sumLayers(const std::vector<BandLayer>& layers, const std::array<assets::Texture*, kLevelCount>& levels,
                         int width, int height, const std::array<int, kLevelCount>& peaks) {
    const Plan plan = planFor(layers, width, height, peaks);

    // Level i on texture unit i; the bindings of units 1 and up are put back afterwards.
    const std::vector<TermReach> reach = termReach(plan, width, height);
    GLint found[kLevelCount] = {};
    for (int i = kLevelCount - 1; i >= 0; --i) {
        glActiveTexture(GL_TEXTURE0 + i);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &found[i]);
        glBindTexture(GL_TEXTURE_2D, levels[i]->glName);
        const bool sampledHere =
            std::any_of(reach.begin(), reach.end(), [i](const TermReach& r) { return r.level == i; });
        if (sampledHere) readBack(i, *levels[i]);
    }

    // The band in rectangles of tiles that draw the same terms, each under its scissor.
    const int bandBottom = kBarRows, bandTop = height - kBarRows;
    // A term that adds one colour all over a tile (its level of one colour: the end fade) is
    // not sampled there: the tile's flat colour brings it.
    std::vector<FlatTile> flatTiles;
    const std::vector<TileRect> rects =
        tileRects(width, bandBottom, bandTop, height, kTileSide, [&](int x0, int y0, int x1, int y1) {
            std::vector<bool> live(reach.size());
            int same[3] = {};
            for (std::size_t k = 0; k < reach.size(); ++k)
                live[k] = reach[k].addsIn(maxima_, x0, y0, x1, y1) && !reach[k].sameIn(maxima_, x0, y0, x1, y1, same);
            if (same[0] > 0 || same[1] > 0 || same[2] > 0) flatTiles.push_back({x0, y0, x1, y1, {same[0], same[1], same[2]}});
            return live;
        });
    const GLboolean scissorOn = glIsEnabled(GL_SCISSOR_TEST);
    GLint scissorBox[4] = {};
    glGetIntegerv(GL_SCISSOR_BOX, scissorBox);
    glEnable(GL_SCISSOR_TEST);
    for (const TileRect& r : rects) {
        glScissor(r.x0, r.y0, r.x1 - r.x0, r.y1 - r.y0);
        drawTerms(plan, r.live, width, height, exact_, placed_, covering_);
    }
    glScissor(scissorBox[0], scissorBox[1], scissorBox[2], scissorBox[3]);
    if (scissorOn != GL_TRUE) glDisable(GL_SCISSOR_TEST);

    drawFlatTiles(flatTiles, width, height);
    // The alpha channel's part of the layers whose colour adds nothing anywhere.
    drawFlatLayers(plan.alphaOnly, width, height);

    for (int i = kLevelCount - 1; i >= 1; --i) {
        glActiveTexture(GL_TEXTURE0 + i);
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(found[i]));
    }
    glActiveTexture(GL_TEXTURE0);
}

// A level's texels read back into its maxima: 4 bytes a texel, so that no row padding comes in,
// in the order llvmpipe keeps them (BGRA), so that the read is a copy.
void BandPass::readBack(int level, const assets::Texture& texture) {
    const auto w = static_cast<std::size_t>(std::max(texture.width, 0)), h = static_cast<std::size_t>(std::max(texture.height, 0));
    readback_.resize(w * h * 4);
    if (readback_.empty()) return;
    glGetTexImage(GL_TEXTURE_2D, 0, GL_BGRA, GL_UNSIGNED_BYTE, readback_.data());
    maxima_[static_cast<std::size_t>(level)].assign(readback_.data(), texture.width, texture.height,
                                                    texture.width / kMaximaColumns);
}


}  // namespace content
