// The foreground: the ball, twenty ring bands, six families of large turning sprites and the
// 5,519-particle swarm, all additive except the ball, all through the orbiting camera.
//
// Everything is recomputed from the music time and sent in immediate mode (5,566 sprite quads,
// 100 band quads and the ball's triangles per frame); the translucent geometry is not sorted.
// On the fast render path the particle swarm is one batch instead: the particles' transforms are
// applied on the CPU and their quads, in the same order and with the same texture, blend, depth
// state and colours, go to GL as one vertex array (one draw instead of 5,519). The 47 large
// sprites stay one draw each: batched, their huge clipped quads come out a few levels off at
// some pixels, and they cost fill, not calls.
//
// The swarm's particles add round(s * a / 255) of a sample's component s at their 8-bit alpha a
// of 2 or 3: their texture's dim rim adds nothing. So, while the fog keeps dark texels dark, the
// fast path draws each particle over the part of its texture that can add a level at the mipmap
// levels it samples (content/SpriteTrim.h), and leaves out the particles that add nothing at all.
// Sprites whose alpha is 0 add nothing either and are left out too.
#include <array>
#include <cmath>
#include <optional>
#include <vector>

#include "content/BandPass.h"
#include "content/DemoContent.h"
#include "content/SpriteTrim.h"
#include "content/Timeline.h"
#include "effects/Orbit.h"
#include "effects/ScreenLayers.h"

namespace content {

namespace {

// The sprite quad: normal (0, 0, 10), texture t = 1 along y = 0.
void drawUnitQuad() {
    glBegin(GL_QUADS);
    glNormal3f(0.0f, 0.0f, 10.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(1.0f, 0.0f, 0.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(1.0f, 1.0f, 0.0f);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(0.0f, 1.0f, 0.0f);
    glEnd();
}

// The unit quad's corners and texture coordinates, in drawing order.
constexpr float kQuadCorners[4][2] = {{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}, {0.0f, 1.0f}};
constexpr float kQuadTexCoords[4][2] = {{0.0f, 1.0f}, {1.0f, 1.0f}, {1.0f, 0.0f}, {0.0f, 0.0f}};

// Quads with their transforms applied, drawn with one glDrawArrays. The vertex layout is GL
// 1.1's interleaved GL_T2F_C4F_N3F_V3F.
class SpriteBatch {
public:
    using Colour = std::array<float, 4>;
    using Corners = std::array<std::array<float, 3>, 4>;

    void add(const Corners& corners, const Colour& colour) {
        for (int k = 0; k < 4; ++k) {
            vertices_.push_back({kQuadTexCoords[k][0], kQuadTexCoords[k][1], colour[0], colour[1], colour[2],
                                 colour[3], 0.0f, 0.0f, 10.0f, corners[k][0], corners[k][1], corners[k][2]});
        }
        last_ = colour;
    }

    // The part r of a quad on `plane` (its corners carrying kQuadTexCoords), corners in the same
    // order: the same plane and texture coordinates over less of it.
    void addPart(const TexturedPlane& plane, const assets::TexelBounds::Region& r, const Colour& colour) {
        const float st[4][2] = {{r.s0, r.t1}, {r.s1, r.t1}, {r.s1, r.t0}, {r.s0, r.t0}};
        for (int k = 0; k < 4; ++k) {
            double p[3];
            plane.at(st[k][0], st[k][1], p);
            vertices_.push_back({st[k][0], st[k][1], colour[0], colour[1], colour[2], colour[3], 0.0f, 0.0f, 10.0f,
                                 static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2])});
        }
        last_ = colour;
    }

    // A quad left out (it adds nothing) that still counts as the last one drawn.
    void skip(const Colour& colour) { last_ = colour; }

    // The plane of a quad whose corners carry kQuadTexCoords: (s, t) at corner 3 + s (corner 2 -
    // corner 3) + t (corner 0 - corner 3).
    static TexturedPlane planeOf(const Corners& c) {
        TexturedPlane plane{};
        for (int i = 0; i < 3; ++i) {
            plane.origin[i] = c[3][i];
            plane.alongS[i] = static_cast<double>(c[2][i]) - c[3][i];
            plane.alongT[i] = static_cast<double>(c[0][i]) - c[3][i];
        }
        return plane;
    }

    // Draws the quads in the order added and leaves the current colour, normal and texture
    // coordinate as the immediate-mode quads would (the last sprite's colour, the quad's normal,
    // the last corner's texture coordinate), the client arrays off.
    void draw() {
        if (!vertices_.empty()) {
            glInterleavedArrays(GL_T2F_C4F_N3F_V3F, 0, vertices_.data());
            glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(vertices_.size()));
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
            glDisableClientState(GL_COLOR_ARRAY);
            glDisableClientState(GL_NORMAL_ARRAY);
            glDisableClientState(GL_VERTEX_ARRAY);
            glColor4f(last_[0], last_[1], last_[2], last_[3]);
            glNormal3f(0.0f, 0.0f, 10.0f);
            glTexCoord2f(kQuadTexCoords[3][0], kQuadTexCoords[3][1]);
        }
        vertices_.clear();
    }

private:
    struct Vertex {
        float s, t, r, g, b, a, nx, ny, nz, x, y, z;
    };
    std::vector<Vertex> vertices_;
    Colour last_{};
};

// The state every sprite family draws with, set before its first sprite; the family's sprites
// follow inside one matrix push.
void beginSpriteFamily(assets::Texture& texture) {
    effects::beginTranslucentGeometry(texture);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
}

void endSpriteFamily() {
    glPopMatrix();
    glDisable(GL_BLEND);
}

// One sprite: turned about z by angle degrees, moved, scaled by s, optionally centred.
void drawSprite(double angle, double x, double y, double z, int s, bool centred) {
    glPushMatrix();
    glRotatef(static_cast<float>(angle), 0.0f, 0.0f, 1.0f);
    glTranslatef(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
    const auto size = static_cast<float>(s);
    glScalef(size, size, 1.0f);
    if (centred) glTranslatef(-0.5f, -0.5f, 0.0f);
    drawUnitQuad();
    glPopMatrix();
}

// A family of centred sprites i = first .. last stacked on the z axis, one colour for all:
// size sizeStep i + sizeBase, angle -(t (spinStep i + spinBase) + phaseStep i), offset z zStep i.
struct AxisFamily {
    assets::Texture* texture;
    double red, green, blue;
    float alpha;
    int first, last;
    int sizeStep, sizeBase;
    double spinStep, spinBase, phaseStep, zStep;
};

void drawAxisFamily(float t, const AxisFamily& f) {
    if (!f.texture) return;
    beginSpriteFamily(*f.texture);
    glColor4f(static_cast<float>(f.red), static_cast<float>(f.green), static_cast<float>(f.blue), f.alpha);
    glPushMatrix();
    for (int i = f.first; i <= f.last; ++i) {
        const double angle = -(t * (f.spinStep * i + f.spinBase) + f.phaseStep * i);
        drawSprite(angle, 0.0, 0.0, f.zStep * i, f.sizeStep * i + f.sizeBase, true);
    }
    endSpriteFamily();
}

// Family 2: sixteen shrinking sprites off the axis, each with its own colour, turning about a
// corner (not centred).
// With skipBlank the sprites whose alpha is 0 are left out.
void drawRotiFamily(float t, double m, assets::Texture* texture, bool skipBlank) {
    if (!texture) return;
    beginSpriteFamily(*texture);
    glPushMatrix();
    for (int i = 0; i <= 15; ++i) {
        const auto alpha = static_cast<float>(0.1 * i / 16);
        glColor4f(static_cast<float>(m), static_cast<float>(0.35 * m), static_cast<float>(1.1 - m), alpha);
        if (skipBlank && frameBufferLevel(alpha) == 0) continue;
        const double angle = -0.35 * (t * (std::sin(0.532153 * i) + 4.3125 + 1.75431234521 * i) + 49.5322 * i);
        const double x = 15 * (0.2 + 0.8 * i / 16) * std::sin(0.26342142 * i);
        drawSprite(angle, x, 0.0, 0.25 * (i - 8), 160 - 7 * i, false);
    }
    endSpriteFamily();
}

// The unit quad's corners, moved by (-0.5, -0.5, 0) and turned by `degrees` about the
// unnormalised axis (ax, ay, az), as glRotatef then glTranslatef would place them.
SpriteBatch::Corners turnedCentredQuad(float degrees, double ax, double ay, double az) {
    const double length = std::sqrt(ax * ax + ay * ay + az * az);
    const double x = ax / length, y = ay / length, z = az / length;
    const double radians = degrees * M_PI / 180.0;
    const double s = std::sin(radians), c = std::cos(radians), one = 1.0 - c;
    const double r[3][3] = {{x * x * one + c, x * y * one - z * s, x * z * one + y * s},
                            {y * x * one + z * s, y * y * one + c, y * z * one - x * s},
                            {z * x * one - y * s, z * y * one + x * s, z * z * one + c}};
    SpriteBatch::Corners corners{};
    for (int k = 0; k < 4; ++k) {
        const double px = kQuadCorners[k][0] - 0.5, py = kQuadCorners[k][1] - 0.5;
        for (int row = 0; row < 3; ++row) corners[k][row] = static_cast<float>(r[row][0] * px + r[row][1] * py);
    }
    return corners;
}

// Fog off, or its colour black: a fogged colour is then at most the unfogged one.
bool fogKeepsDarkTexelsDark() {
    if (glIsEnabled(GL_FOG) != GL_TRUE) return true;
    float colour[4] = {};
    glGetFloatv(GL_FOG_COLOR, colour);
    return colour[0] <= 0.0f && colour[1] <= 0.0f && colour[2] <= 0.0f;
}

// Family 4: the swarm along a widening spiral, every particle turned back to face the view
// (the camera's tilt undone about the negated axis), thinning out with i.
// With a batch, the quads go into it and are drawn at the end, each trimmed when a trim is given.
void drawParticleSwarm(float t, double m, assets::Texture* texture, SpriteBatch* batch, const SpriteTrim* trim) {
    if (!texture) return;
    const float n = static_cast<float>(kParticleLimit);
    const float untilt = effects::orbitTilt(t);
    // Every particle's quad is the same turned unit quad, scaled and moved.
    const SpriteBatch::Corners turned = turnedCentredQuad(untilt, -1.0, -0.5, 0.0);
    beginSpriteFamily(*texture);
    glPushMatrix();
    double clipFromObject[16];
    if (batch && trim) currentClipFromObject(clipFromObject);
    for (int i = 0; i < kParticleLimit; i += particleStep(i)) {
        const float p = i / n;
        const float rest = 1.0f - p;
        const float q = rest * rest * rest * rest;
        const float w = static_cast<float>(2 + 4 * std::sin(0.124754745 * i + 0.0643142 * i));
        const double alpha = (0.1 * q * q * q + 0.0875) * 0.125 * 1.25 * 0.75 * (0.75 + 0.25 * (1 - w / 6.0));
        const SpriteBatch::Colour colour = {static_cast<float>(m), static_cast<float>(m), 1.0f,
                                            static_cast<float>(alpha)};
        if (!batch) {
            glColor4f(colour[0], colour[1], colour[2], colour[3]);
            glPushMatrix();
        }
        const double q6 = static_cast<double>(q) * q * q * q * q * q;
        const float a = static_cast<float>(5 * (t * (25.0 * rest * rest + 3.3125 + 90 * q6) + 29.5322 * i));
        const double orbit = 15 * (0.2 + 0.8 * p);
        const float orbitX = static_cast<float>(orbit * std::sin(0.26342142 * i));
        const float orbitY = static_cast<float>(orbit * std::cos(0.37541785 * i));
        const float rho = static_cast<float>(std::sin(0.0252164 * i) + 0.0125 * 0.75 * i);
        const double turn = (i + static_cast<double>(a)) / 360.0;
        const float spiralX = static_cast<float>(rho * std::sin(turn));
        const float spiralY = static_cast<float>(rho * std::cos(turn));
        const float size = static_cast<float>(6.0 * q + 4 + w);
        if (batch) {
            SpriteBatch::Corners corners{};
            for (int k = 0; k < 4; ++k) {
                corners[k] = {orbitX + spiralX + size * turned[k][0], orbitY + spiralY + size * turned[k][1],
                              size * turned[k][2]};
            }
            if (!trim) {
                batch->add(corners, colour);
                continue;
            }
            const TexturedPlane plane = SpriteBatch::planeOf(corners);
            const assets::TexelBounds::Region part = trim->regionFor(plane, clipFromObject, colour[3]);
            if (part.empty())
                batch->skip(colour);
            else
                batch->addPart(plane, part, colour);
            continue;
        }
        glTranslatef(orbitX, orbitY, 0.0f);
        glTranslatef(spiralX, spiralY, 0.0f);
        glPushMatrix();
        glScalef(size, size, size);
        glPushMatrix();
        glRotatef(untilt, -1.0f, -0.5f, 0.0f);
        glTranslatef(-0.5f, -0.5f, 0.0f);
        drawUnitQuad();
        glPopMatrix();
        glPopMatrix();
        glPopMatrix();
    }
    if (batch) batch->draw();
    endSpriteFamily();
}

}  // namespace

void DemoContent::drawCoreScene(int ms) {
    const float t = sceneTime(ms);
    const CoreSwell swellNow = coreSwellAt(t);
    const double m = swellNow.brightness;

    orbitCamera(t);

    glPushMatrix();  // the overall scale: the ball, the bands, families 1 to 4
    glScalef(swellNow.overall, swellNow.overall, swellNow.overall);

    // The ball, drawn with the star sphere's state: depth test and writes on, culling on,
    // blending and lighting off, the texture modulated by white.
    if (valo4Texture) {
        glPushMatrix();
        glScalef(swellNow.ball, swellNow.ball, swellNow.ball);
        glPushMatrix();
        glScalef(0.019125f, 0.019125f, 0.019125f);
        glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
        valo4Texture->bind();
        ballObject.draw();
        glPopMatrix();
        glPopMatrix();
    }

    const bool fast = renderPath != RenderPath::Faithful;
    glPushMatrix();
    for (int i = 0; i < 20; ++i) {
        const float o = i / 20.0f;
        const double reach = 400.0 * o * o + 200.0;
        const TexturePtr& band = i % 2 == 0 ? valo4Texture : blueshiftTexture;
        // The first band's alpha is 0: it adds nothing.
        if (fast && frameBufferLevel(static_cast<float>(0.05 * o)) == 0) continue;
        if (band) effects::drawRingBand(5, 22.5 * i, 0.05 * o, 5.0 * o * o + 0.05, -reach, reach, 0, 1, 0, 2, *band);
    }
    glPopMatrix();

    // Colours (m, m, 1) unless the family says otherwise; sizes, spins and offsets per family.
    drawAxisFamily(t, {fire2d2bTexture.get(), m, m, 1, 0.01f, -5, 5, 1, 250, 1.234521, 12.3125, 0, 0.825});
    drawRotiFamily(t, m, rotiTexture.get(), fast);
    drawAxisFamily(t, {firetwirlTexture.get(), m, m, 1, 0.015f, -2, 2, 2, 250, 1.75431234521, 7.3125, 39.5322, 1});
    // The fast path sends the swarm as one batch (null: one draw per particle), trimmed while the
    // fog leaves dark texels dark (a black fog: the whole show before the credits) and the swell
    // enlarges the particles: at their plain size the trim costs more (about 2 % more instructions
    // a frame, callgrind) than the fill it saves; at 1.5 times and more it saves about 2.5 %.
    SpriteBatch batch;
    std::optional<SpriteTrim> trim;
    if (fast && swellNow.overall >= 1.5f && partiTexture && particleTexels.levelCount() > 0 && fogKeepsDarkTexelsDark()) {
        GLint viewport[4] = {};
        glGetIntegerv(GL_VIEWPORT, viewport);
        trim = SpriteTrim{&particleTexels, partiTexture->width, partiTexture->height, viewport[2], viewport[3]};
    }
    drawParticleSwarm(t, m, partiTexture.get(), fast ? &batch : nullptr, trim ? &*trim : nullptr);
    glPopMatrix();

    drawAxisFamily(t, {darkpartTexture2.get(), m, 0.4 * m, 1.01 - m, 0.015f, -2, 2, 100, 50, 1.25431234521,
                       3.3125, 29.5322, 0.6});
    drawAxisFamily(t, {darkpartTexture2.get(), m, m, 1, 0.05f, -1, 1, 95, 15, 1.74241276521, 4.3125, 79.5322, 0.9});
    drawAxisFamily(t, {fire2d2bTexture.get(), m, m, 1, 0.015f, -3, 3, 1, 350, 1.31267856234521, 7.3125, 79.5322,
                       0.65});
}

}  // namespace content
