// The foreground: the ball, twenty ring bands, six families of large turning sprites and the
// 5,519-particle swarm, all additive except the ball, all through the orbiting camera.
//
// Everything is recomputed from the music time and sent in immediate mode (5,566 sprite quads,
// 100 band quads and the ball's triangles per frame); the translucent geometry is not sorted.
// On the fast render path the particle swarm is one batch instead: the GL's matrix arithmetic for
// each particle is done on the CPU, to the bit, and the quads go to GL as one vertex array with
// the same texture, blend, depth state and colours: the same pixels, one draw instead of 5,519
// (ParticleBatch). The 47 large sprites stay one draw each: batched, their huge clipped quads
// come out a few levels off at some pixels, and they cost fill, not calls. On the fast path a
// large sprite whose fog the GL would not clamp has it folded into its corner colours and is
// drawn with the GL's fog off (SpriteFogFolding): llvmpipe's fragment code for these sprites,
// most of the swell's fill, is about a fifth cheaper without the fog's arithmetic and the
// colour it reads per pixel, and the pixels are the same but for a rare level. The swarm's batch
// folds the fog the same way into the particles it can.
// Sprites whose alpha is 0 add nothing and are left out on the fast path.
#include <GL/gl.h>
#include <GL/glext.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

#include "content/BandPass.h"
#include "content/DemoContent.h"
#include "content/SpriteFog.h"
#include "content/Timeline.h"
#include "effects/Orbit.h"
#include "effects/ScreenLayers.h"
#include "platform/GlEntryPoint.h"

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

// The sprite quad with a colour at each corner, in drawing order; it leaves the last corner's
// colour current.
void drawUnitQuad(const CornerColours& colours) {
    glBegin(GL_QUADS);
    glNormal3f(0.0f, 0.0f, 10.0f);
    for (int k = 0; k < 4; ++k) {
        glColor4fv(colours[k].data());
        glTexCoord2f(kQuadTexCoords[k][0], kQuadTexCoords[k][1]);
        glVertex3f(kQuadCorners[k][0], kQuadCorners[k][1], 0.0f);
    }
    glEnd();
}

// A column-major 4 x 4 matrix composed the way the GL composes its own: single precision, each
// sum taken left to right (Mesa's matrix code, with no fused multiply-add).
using GlMatrix = std::array<float, 16>;

// glTranslatef.
void translateMatrix(GlMatrix& m, float x, float y, float z) {
    for (int r = 0; r < 4; ++r) m[12 + r] = m[r] * x + m[4 + r] * y + m[8 + r] * z + m[12 + r];
}

// glScalef.
void scaleMatrix(GlMatrix& m, float x, float y, float z) {
    for (int r = 0; r < 4; ++r) {
        m[r] *= x;
        m[4 + r] *= y;
        m[8 + r] *= z;
    }
}

// a b (glMultMatrixf, and the projection times the model-view the vertex transform uses).
GlMatrix multiplyMatrices(const GlMatrix& a, const GlMatrix& b) {
    GlMatrix product{};
    for (int i = 0; i < 4; ++i) {
        const float ai0 = a[i], ai1 = a[4 + i], ai2 = a[8 + i], ai3 = a[12 + i];
        for (int j = 0; j < 4; ++j)
            product[j * 4 + i] = ai0 * b[j * 4] + ai1 * b[j * 4 + 1] + ai2 * b[j * 4 + 2] + ai3 * b[j * 4 + 3];
    }
    return product;
}

// Row `row` of m times (x, y, 0, 1), as the fixed-function vertex transform takes it.
float transformedRow(const GlMatrix& m, int row, float x, float y) {
    return m[row] * x + m[4 + row] * y + m[8 + row] * 0.0f + m[12 + row] * 1.0f;
}

GlMatrix currentMatrix(GLenum which) {
    GlMatrix m{};
    glGetFloatv(which, m.data());
    return m;
}

// Unit quads already carried through the model-view and projection matrices the GL would have
// used for each (composed with the GL's own arithmetic, above), drawn with both matrices the
// identity and each vertex's eye depth given as its fog coordinate: the GL then takes the same
// clip coordinates and fog distances to the bit and, with the triangles it makes of an
// immediate-mode quad (corners 0 1 2 and 0 2 3), draws the same pixels. A quad the GL has to clip
// is split into other triangles (corners 0 1 3 and 1 2 3) before it is clipped: quads that cross
// the view volume's border go in as those, and the clipper, fed the same triangles with the same
// corners first, cuts them to the same pixels. Quads wholly outside are left out. Needs GL 1.4's
// fog coordinates.
// Folding, a quad whose corners all lie inside the range of a foldable fog (SpriteFog.h) takes
// its colour times each corner's fog factor as its corner colours instead and is drawn with the
// GL's fog off: llvmpipe's fragment code then neither interpolates a fog coordinate nor fogs
// each pixel (the swell's swarm about 15 % fewer instructions), and the pixels stay within a
// level of the GL's fog (on llvmpipe the same). Without a foldable fog every quad is drawn as
// above.
class ParticleBatch {
public:
    using Colour = std::array<float, 4>;

    // The batch for the current matrices, folding the fog in force where it can when `foldFog`;
    // none when the GL has no fog coordinates.
    static std::optional<ParticleBatch> forCurrentMatrices(bool foldFog) {
        const auto fogCoordPointer =
            reinterpret_cast<PFNGLFOGCOORDPOINTERPROC>(platform::glEntryPoint("glFogCoordPointer"));
        const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
        int major = 0, minor = 0;
        if (!fogCoordPointer || !version || std::sscanf(version, "%d.%d", &major, &minor) != 2 ||
            (major == 1 && minor < 4) || major < 1)
            return std::nullopt;
        return ParticleBatch(fogCoordPointer, currentMatrix(GL_MODELVIEW_MATRIX), currentMatrix(GL_PROJECTION_MATRIX),
                             foldFog ? foldableFog() : std::nullopt);
    }

    // The unit quad under the model-view `modelView`, left out when it lies wholly outside one of
    // the view volume's planes (the GL draws nothing of it).
    void add(const GlMatrix& modelView, const Colour& colour) {
        const GlMatrix clip = multiplyMatrices(projection_, modelView);
        Vertex quad[4];
        unsigned outsideAll = ~0u, outsideAny = 0;
        for (int k = 0; k < 4; ++k) {
            const float x = kQuadCorners[k][0], y = kQuadCorners[k][1];
            Vertex& v = quad[k];
            v = {kQuadTexCoords[k][0], kQuadTexCoords[k][1], colour[0], colour[1], colour[2], colour[3],
                 std::fabs(transformedRow(modelView, 2, x, y)), transformedRow(clip, 0, x, y),
                 transformedRow(clip, 1, x, y), transformedRow(clip, 2, x, y), transformedRow(clip, 3, x, y)};
            // The planes the corner lies beyond, -w <= x, y, z <= w.
            const unsigned outside = (v.x < -v.w) | (v.x > v.w) << 1 | (v.y < -v.w) << 2 | (v.y > v.w) << 3 |
                                     (v.z < -v.w) << 4 | (v.z > v.w) << 5;
            outsideAll &= outside;
            outsideAny |= outside;
        }
        if (outsideAll != 0) return;
        Pass* pass = &fogged_;
        if (fog_) {
            if (const auto colours = foldFog(*fog_, colour, {quad[0].fog, quad[1].fog, quad[2].fog, quad[3].fog})) {
                for (int k = 0; k < 4; ++k) {
                    quad[k].r = (*colours)[k][0];
                    quad[k].g = (*colours)[k][1];
                    quad[k].b = (*colours)[k][2];
                    quad[k].a = (*colours)[k][3];
                }
                pass = &folded_;
            }
        }
        if (outsideAny != 0)
            pass->crossing.add(quad, kClippedTriangles);
        else
            pass->inside.add(quad, kTriangles);
    }

    const GlMatrix& modelView() const { return modelView_; }

    // Draws the quads added, in order, those fogged by the GL first and of each pass those inside
    // the view volume first, and puts back the matrices, the fog source, the fog (on, as folding
    // found it) and the client arrays (all off).
    void draw() {
        if (fogged_.empty() && folded_.empty()) return;
        GLint fogSource = GL_FRAGMENT_DEPTH;
        glGetIntegerv(GL_FOG_COORDINATE_SOURCE, &fogSource);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        glFogi(GL_FOG_COORDINATE_SOURCE, GL_FOG_COORDINATE);
        for (GLenum array : kArrays) glEnableClientState(array);
        fogged_.draw(fogCoordPointer_);
        if (!folded_.empty()) {
            glDisable(GL_FOG);
            folded_.draw(fogCoordPointer_);
            glEnable(GL_FOG);
        }
        for (GLenum array : kArrays) glDisableClientState(array);
        glFogi(GL_FOG_COORDINATE_SOURCE, fogSource);
        glPopMatrix();
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
    }

private:
    struct Vertex {
        float s, t, r, g, b, a, fog, x, y, z, w;
    };
    static constexpr GLenum kArrays[] = {GL_TEXTURE_COORD_ARRAY, GL_COLOR_ARRAY, GL_FOG_COORDINATE_ARRAY,
                                         GL_VERTEX_ARRAY};
    // The triangles of a quad's corners: as the GL draws a quad it need not clip, and as it
    // splits one it clips.
    static constexpr GLuint kTriangles[] = {0, 1, 2, 0, 2, 3};
    static constexpr GLuint kClippedTriangles[] = {0, 1, 3, 1, 2, 3};

    // Quads and the triangles drawn of them. The GL sends a draw with any triangle to clip down
    // a slower path, so the quads that cross the view volume's border are drawn apart from the
    // rest (the blend adds, the depth is not written: the order of the quads changes no pixel).
    struct Quads {
        std::vector<Vertex> vertices;
        std::vector<GLuint> indices;

        void add(const Vertex (&quad)[4], const GLuint (&triangles)[6]) {
            const auto first = static_cast<GLuint>(vertices.size());
            for (GLuint corner : triangles) indices.push_back(first + corner);
            vertices.insert(vertices.end(), quad, quad + 4);
        }

        // Draws the triangles, the client arrays on, and empties the lists.
        void draw(PFNGLFOGCOORDPOINTERPROC fogCoordPointer) {
            if (vertices.empty()) return;
            constexpr GLsizei stride = sizeof(Vertex);
            glTexCoordPointer(2, GL_FLOAT, stride, &vertices[0].s);
            glColorPointer(4, GL_FLOAT, stride, &vertices[0].r);
            fogCoordPointer(GL_FLOAT, stride, &vertices[0].fog);
            glVertexPointer(4, GL_FLOAT, stride, &vertices[0].x);
            glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indices.size()), GL_UNSIGNED_INT, indices.data());
            vertices.clear();
            indices.clear();
        }
    };

    // The quads drawn under one fog state: inside the view volume, then those crossing its border.
    struct Pass {
        Quads inside, crossing;

        bool empty() const { return inside.vertices.empty() && crossing.vertices.empty(); }

        void draw(PFNGLFOGCOORDPOINTERPROC fogCoordPointer) {
            for (Quads* quads : {&inside, &crossing}) quads->draw(fogCoordPointer);
        }
    };

    ParticleBatch(PFNGLFOGCOORDPOINTERPROC fogCoordPointer, const GlMatrix& modelView, const GlMatrix& projection,
                  std::optional<LinearFog> fog)
        : fogCoordPointer_(fogCoordPointer), modelView_(modelView), projection_(projection), fog_(fog) {}

    PFNGLFOGCOORDPOINTERPROC fogCoordPointer_;
    GlMatrix modelView_, projection_;
    std::optional<LinearFog> fog_;  // the fog folded into colours; none: every quad fogged by the GL
    Pass fogged_, folded_;
};

// How a family's sprites take the fog and their colour. Folding (the fast paths), a sprite whose
// corners all lie inside the fog's range has the fog folded into its corner colours and is drawn
// with the GL's fog off (SpriteFog.h: the same pixels but for a rare level, fewer operations for
// each); any other sprite, and every sprite without folding, is drawn with the GL's fog and the
// colour set, call for call as before. Ending, it turns the GL's fog back on if it turned it off.
class SpriteFogFolding {
public:
    explicit SpriteFogFolding(bool fold) : fog_(fold ? foldableFog() : std::nullopt) {}
    ~SpriteFogFolding() { setGlFog(true); }
    SpriteFogFolding(const SpriteFogFolding&) = delete;
    SpriteFogFolding& operator=(const SpriteFogFolding&) = delete;

    // glColor4f, remembered for the folded corners.
    void setColour(float red, float green, float blue, float alpha) {
        glColor4f(red, green, blue, alpha);
        colour_ = {red, green, blue, alpha};
    }

    // The unit quad under the current matrices; the colour set stays current.
    void drawQuad() {
        if (fog_) {
            const GlMatrix modelView = currentMatrix(GL_MODELVIEW_MATRIX);
            std::array<float, 4> eyeZ{};
            for (int k = 0; k < 4; ++k) eyeZ[k] = transformedRow(modelView, 2, kQuadCorners[k][0], kQuadCorners[k][1]);
            if (const auto colours = foldFog(*fog_, colour_, eyeZ)) {
                setGlFog(false);
                drawUnitQuad(*colours);
                glColor4f(colour_[0], colour_[1], colour_[2], colour_[3]);
                return;
            }
        }
        setGlFog(true);
        drawUnitQuad();
    }

private:
    void setGlFog(bool on) {
        if (on == glFogOn_) return;
        if (on)
            glEnable(GL_FOG);
        else
            glDisable(GL_FOG);
        glFogOn_ = on;
    }

    std::optional<LinearFog> fog_;
    std::array<float, 4> colour_{};
    bool glFogOn_ = true;  // as far as this family's sprites are concerned
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
void drawSprite(double angle, double x, double y, double z, int s, bool centred, SpriteFogFolding& fog) {
    glPushMatrix();
    glRotatef(static_cast<float>(angle), 0.0f, 0.0f, 1.0f);
    glTranslatef(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
    const auto size = static_cast<float>(s);
    glScalef(size, size, 1.0f);
    if (centred) glTranslatef(-0.5f, -0.5f, 0.0f);
    fog.drawQuad();
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

// foldFog: as SpriteFogFolding says.
void drawAxisFamily(float t, const AxisFamily& f, bool foldFog) {
    if (!f.texture) return;
    beginSpriteFamily(*f.texture);
    SpriteFogFolding fog(foldFog);
    fog.setColour(static_cast<float>(f.red), static_cast<float>(f.green), static_cast<float>(f.blue), f.alpha);
    glPushMatrix();
    for (int i = f.first; i <= f.last; ++i) {
        const double angle = -(t * (f.spinStep * i + f.spinBase) + f.phaseStep * i);
        drawSprite(angle, 0.0, 0.0, f.zStep * i, f.sizeStep * i + f.sizeBase, true, fog);
    }
    endSpriteFamily();
}

// Family 2: sixteen shrinking sprites off the axis, each with its own colour, turning about a
// corner (not centred).
// With skipBlank the sprites whose alpha is 0 are left out; foldFog as SpriteFogFolding says.
void drawRotiFamily(float t, double m, assets::Texture* texture, bool skipBlank, bool foldFog) {
    if (!texture) return;
    beginSpriteFamily(*texture);
    SpriteFogFolding fog(foldFog);
    glPushMatrix();
    for (int i = 0; i <= 15; ++i) {
        const auto alpha = static_cast<float>(0.1 * i / 16);
        fog.setColour(static_cast<float>(m), static_cast<float>(0.35 * m), static_cast<float>(1.1 - m), alpha);
        if (skipBlank && frameBufferLevel(alpha) == 0) continue;
        const double angle = -0.35 * (t * (std::sin(0.532153 * i) + 4.3125 + 1.75431234521 * i) + 49.5322 * i);
        const double x = 15 * (0.2 + 0.8 * i / 16) * std::sin(0.26342142 * i);
        drawSprite(angle, x, 0.0, 0.25 * (i - 8), 160 - 7 * i, false, fog);
    }
    endSpriteFamily();
}

// What of one particle does not change with the time: its colour's alpha, its spin's rate and
// phase (the spin is 5 (t rate + phase)), its place on the orbit, its spiral radius and its size.
struct SwarmParticle {
    int i;
    float alpha;
    double spinRate, spinPhase;
    float orbitX, orbitY, rho, size;
};

SwarmParticle swarmParticle(int i) {
    const float p = i / static_cast<float>(kParticleLimit);
    const float rest = 1.0f - p;
    const float q = rest * rest * rest * rest;
    const float w = static_cast<float>(2 + 4 * std::sin(0.124754745 * i + 0.0643142 * i));
    const double alpha = (0.1 * q * q * q + 0.0875) * 0.125 * 1.25 * 0.75 * (0.75 + 0.25 * (1 - w / 6.0));
    const double q6 = static_cast<double>(q) * q * q * q * q * q;
    const double orbit = 15 * (0.2 + 0.8 * p);
    return {i,
            static_cast<float>(alpha),
            25.0 * rest * rest + 3.3125 + 90 * q6,
            29.5322 * i,
            static_cast<float>(orbit * std::sin(0.26342142 * i)),
            static_cast<float>(orbit * std::cos(0.37541785 * i)),
            static_cast<float>(std::sin(0.0252164 * i) + 0.0125 * 0.75 * i),
            static_cast<float>(6.0 * q + 4 + w)};
}

// Every particle of the swarm, computed once.
const std::vector<SwarmParticle>& swarmLayout() {
    static const std::vector<SwarmParticle> layout = [] {
        std::vector<SwarmParticle> particles;
        for (int i = 0; i < kParticleLimit; i += particleStep(i)) particles.push_back(swarmParticle(i));
        return particles;
    }();
    return layout;
}

// The particle's place on its spiral at scene time t.
std::array<float, 2> spiralAt(float t, const SwarmParticle& particle) {
    const float a = static_cast<float>(5 * (t * particle.spinRate + particle.spinPhase));
    const double turn = (particle.i + static_cast<double>(a)) / 360.0;
    return {static_cast<float>(particle.rho * std::sin(turn)), static_cast<float>(particle.rho * std::cos(turn))};
}

// One particle through the GL's own matrix calls.
void drawParticle(const SwarmParticle& particle, const std::array<float, 2>& spiral, float untilt,
                  const ParticleBatch::Colour& colour) {
    glColor4f(colour[0], colour[1], colour[2], colour[3]);
    glPushMatrix();
    glTranslatef(particle.orbitX, particle.orbitY, 0.0f);
    glTranslatef(spiral[0], spiral[1], 0.0f);
    glPushMatrix();
    glScalef(particle.size, particle.size, particle.size);
    glPushMatrix();
    glRotatef(untilt, -1.0f, -0.5f, 0.0f);
    glTranslatef(-0.5f, -0.5f, 0.0f);
    drawUnitQuad();
    glPopMatrix();
    glPopMatrix();
    glPopMatrix();
}

// Family 4: the swarm along a widening spiral, every particle turned back to face the view
// (the camera's tilt undone about the negated axis), thinning out with i.
// `batched`: as one batch where the GL allows (the same pixels, see ParticleBatch), the fog folded
// into the colours of the particles it can be.
void drawParticleSwarm(float t, double m, assets::Texture* texture, bool batched) {
    if (!texture) return;
    const float untilt = effects::orbitTilt(t);
    beginSpriteFamily(*texture);
    glPushMatrix();
    const auto brightness = static_cast<float>(m);
    std::optional<ParticleBatch> batch;
    if (batched) batch = ParticleBatch::forCurrentMatrices(/*foldFog=*/true);
    if (!batch) {
        for (int i = 0; i < kParticleLimit; i += particleStep(i)) {
            const SwarmParticle particle = swarmParticle(i);
            drawParticle(particle, spiralAt(t, particle), untilt, {brightness, brightness, 1.0f, particle.alpha});
        }
        endSpriteFamily();
        return;
    }
    glPushMatrix();
    glLoadIdentity();
    glRotatef(untilt, -1.0f, -0.5f, 0.0f);
    const GlMatrix turn = currentMatrix(GL_MODELVIEW_MATRIX);
    glPopMatrix();
    ParticleBatch::Colour colour{};
    for (const SwarmParticle& particle : swarmLayout()) {
        colour = {brightness, brightness, 1.0f, particle.alpha};
        const std::array<float, 2> spiral = spiralAt(t, particle);
        GlMatrix modelView = batch->modelView();
        translateMatrix(modelView, particle.orbitX, particle.orbitY, 0.0f);
        translateMatrix(modelView, spiral[0], spiral[1], 0.0f);
        scaleMatrix(modelView, particle.size, particle.size, particle.size);
        modelView = multiplyMatrices(modelView, turn);
        translateMatrix(modelView, -0.5f, -0.5f, 0.0f);
        batch->add(modelView, colour);
    }
    batch->draw();
    // What the last particle's calls leave current.
    glColor4f(colour[0], colour[1], colour[2], colour[3]);
    glNormal3f(0.0f, 0.0f, 10.0f);
    glTexCoord2f(kQuadTexCoords[3][0], kQuadTexCoords[3][1]);
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
    drawAxisFamily(t, {fire2d2bTexture.get(), m, m, 1, 0.01f, -5, 5, 1, 250, 1.234521, 12.3125, 0, 0.825}, fast);
    drawRotiFamily(t, m, rotiTexture.get(), fast, fast);
    drawAxisFamily(t, {firetwirlTexture.get(), m, m, 1, 0.015f, -2, 2, 2, 250, 1.75431234521, 7.3125, 39.5322, 1}, fast);
    // The fast path sends the swarm as one batch.
    drawParticleSwarm(t, m, partiTexture.get(), fast);
    glPopMatrix();

    drawAxisFamily(t, {darkpartTexture2.get(), m, 0.4 * m, 1.01 - m, 0.015f, -2, 2, 100, 50, 1.25431234521,
                       3.3125, 29.5322, 0.6},
                   fast);
    drawAxisFamily(t, {darkpartTexture2.get(), m, m, 1, 0.05f, -1, 1, 95, 15, 1.74241276521, 4.3125, 79.5322, 0.9}, fast);
    drawAxisFamily(t, {fire2d2bTexture.get(), m, m, 1, 0.015f, -3, 3, 1, 350, 1.31267856234521, 7.3125, 79.5322,
                       0.65},
                   fast);
}

}  // namespace content
