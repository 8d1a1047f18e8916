// The foreground: the ball, twenty ring bands, six families of large turning sprites and the
// 5,519-particle swarm, all additive except the ball, all through the orbiting camera.
//
// Everything is recomputed from the music time and sent in immediate mode (5,566 sprite quads,
// 100 band quads and the ball's triangles per frame); the translucent geometry is not sorted.
#include <cmath>

#include "content/DemoContent.h"
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
void drawRotiFamily(float t, double m, assets::Texture* texture) {
    if (!texture) return;
    beginSpriteFamily(*texture);
    glPushMatrix();
    for (int i = 0; i <= 15; ++i) {
        glColor4f(static_cast<float>(m), static_cast<float>(0.35 * m), static_cast<float>(1.1 - m),
                  static_cast<float>(0.1 * i / 16));
        const double angle = -0.35 * (t * (std::sin(0.532153 * i) + 4.3125 + 1.75431234521 * i) + 49.5322 * i);
        const double x = 15 * (0.2 + 0.8 * i / 16) * std::sin(0.26342142 * i);
        drawSprite(angle, x, 0.0, 0.25 * (i - 8), 160 - 7 * i, false);
    }
    endSpriteFamily();
}

// Family 4: the swarm along a widening spiral, every particle turned back to face the view
// (the camera's tilt undone about the negated axis), thinning out with i.
void drawParticleSwarm(float t, double m, assets::Texture* texture) {
    if (!texture) return;
    const float n = static_cast<float>(kParticleLimit);
    const float untilt = effects::orbitTilt(t);
    beginSpriteFamily(*texture);
    glPushMatrix();
    for (int i = 0; i < kParticleLimit; i += particleStep(i)) {
        const float p = i / n;
        const float rest = 1.0f - p;
        const float q = rest * rest * rest * rest;
        const float w = static_cast<float>(2 + 4 * std::sin(0.124754745 * i + 0.0643142 * i));
        const double alpha = (0.1 * q * q * q + 0.0875) * 0.125 * 1.25 * 0.75 * (0.75 + 0.25 * (1 - w / 6.0));
        glColor4f(static_cast<float>(m), static_cast<float>(m), 1.0f, static_cast<float>(alpha));

        glPushMatrix();
        const double q6 = static_cast<double>(q) * q * q * q * q * q;
        const float a = static_cast<float>(5 * (t * (25.0 * rest * rest + 3.3125 + 90 * q6) + 29.5322 * i));
        const double orbit = 15 * (0.2 + 0.8 * p);
        glTranslatef(static_cast<float>(orbit * std::sin(0.26342142 * i)),
                     static_cast<float>(orbit * std::cos(0.37541785 * i)), 0.0f);
        const float rho = static_cast<float>(std::sin(0.0252164 * i) + 0.0125 * 0.75 * i);
        const double turn = (i + static_cast<double>(a)) / 360.0;
        glTranslatef(static_cast<float>(rho * std::sin(turn)), static_cast<float>(rho * std::cos(turn)), 0.0f);
        glPushMatrix();
        const float size = static_cast<float>(6.0 * q + 4 + w);
        glScalef(size, size, size);
        glPushMatrix();
        glRotatef(untilt, -1.0f, -0.5f, 0.0f);
        glTranslatef(-0.5f, -0.5f, 0.0f);
        drawUnitQuad();
        glPopMatrix();
        glPopMatrix();
        glPopMatrix();
    }
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

    glPushMatrix();
    for (int i = 0; i < 20; ++i) {
        const float o = i / 20.0f;
        const double reach = 400.0 * o * o + 200.0;
        const TexturePtr& band = i % 2 == 0 ? valo4Texture : blueshiftTexture;
        if (band) effects::drawRingBand(5, 22.5 * i, 0.05 * o, 5.0 * o * o + 0.05, -reach, reach, 0, 1, 0, 2, *band);
    }
    glPopMatrix();

    // Colours (m, m, 1) unless the family says otherwise; sizes, spins and offsets per family.
    drawAxisFamily(t, {fire2d2bTexture.get(), m, m, 1, 0.01f, -5, 5, 1, 250, 1.234521, 12.3125, 0, 0.825});
    drawRotiFamily(t, m, rotiTexture.get());
    drawAxisFamily(t, {firetwirlTexture.get(), m, m, 1, 0.015f, -2, 2, 2, 250, 1.75431234521, 7.3125, 39.5322, 1});
    drawParticleSwarm(t, m, partiTexture.get());
    glPopMatrix();

    drawAxisFamily(t, {darkpartTexture2.get(), m, 0.4 * m, 1.01 - m, 0.015f, -2, 2, 100, 50, 1.25431234521,
                       3.3125, 29.5322, 0.6});
    drawAxisFamily(t, {darkpartTexture2.get(), m, m, 1, 0.05f, -1, 1, 95, 15, 1.74241276521, 4.3125, 79.5322, 0.9});
    drawAxisFamily(t, {fire2d2bTexture.get(), m, m, 1, 0.015f, -3, 3, 1, 350, 1.31267856234521, 7.3125, 79.5322,
                       0.65});
}

}  // namespace content
