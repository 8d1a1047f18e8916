#include "effects/ScreenLayers.h"

#include <cmath>

#include "effects/SceneSetup.h"

namespace effects {

namespace {

// Rows of the black bar below the band (and above it).
constexpr int kBarRows = kLetterboxRows / 2;

// One upright quad: texture t = 1 at the top edge (y = top), t = 0 at the bottom.
void drawUprightQuad(float left, float top, float right, float bottom) {
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(left, top);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(right, top);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(right, bottom);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(left, bottom);
    glEnd();
}

}  // namespace

void setScreenOrtho(int width, int height) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, width, height, 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void setBandViewport(int width, int height) {
    const int bandHeight = height - kLetterboxRows;
    if (bandHeight >= 0) glViewport(0, kBarRows, width, bandHeight);
}

void drawScreenQuad(int width, int height, assets::Texture& texture) {
    drawScreenQuadAt(0, 0, width, height, texture);
}

void drawScreenQuadAt(int x, int y, int width, int height, assets::Texture& texture) {
    glViewport(x, y, width, height);
    setScreenOrtho(width, height);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glShadeModel(GL_FLAT);
    texture.bind();
    drawUprightQuad(0.0f, 0.0f, static_cast<float>(width), static_cast<float>(height));
}

void setLetterboxLayerState(float alpha, int width, int height, assets::Texture& texture) {
    setBandViewport(width, height);
    setScreenOrtho(width, height);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glShadeModel(GL_SMOOTH);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glColor4f(1.0f, 1.0f, 1.0f, alpha);
    texture.bind();
}

void drawLetterboxLayer(float alpha, float angle, float offsetX, float offsetY, float scaleX,
                        float scaleY, int width, int height, assets::Texture& texture) {
    setLetterboxLayerState(alpha, width, height, texture);
    glPushMatrix();
    glTranslatef(offsetX, offsetY, 0.0f);
    glTranslatef(width * 0.5f, height * 0.5f, 0.0f);
    glScalef(width * scaleX, height * scaleY, 1.0f);
    glRotatef(angle, 0.0f, 0.0f, 1.0f);
    glTranslatef(-0.5f, -0.5f, 0.0f);
    drawUprightQuad(0.0f, 0.0f, 1.0f, 1.0f);
    glPopMatrix();
}

void addLetterboxLayer(float alpha, float angle, float offsetX, float offsetY, float scaleX,
                       float scaleY, int width, int height, assets::Texture& texture) {
    if (alpha <= 0.0f)
        setLetterboxLayerState(alpha, width, height, texture);
    else
        drawLetterboxLayer(alpha, angle, offsetX, offsetY, scaleX, scaleY, width, height, texture);
}

void beginTranslucentGeometry(assets::Texture& texture) {
    texture.bind();
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glShadeModel(GL_SMOOTH);
}

void drawRingBand(int segments, double phase, double alpha, double radius, double zFrom, double zTo,
                  double uFrom, double uTo, double vFrom, double vTo, assets::Texture& texture) {
    beginTranslucentGeometry(texture);
    if (segments > 0) {
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        glColor4f(1.0f, 1.0f, 1.0f, static_cast<float>(alpha));
    } else {
        segments = -segments;
        glBlendFunc(GL_ZERO, GL_SRC_COLOR);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    }

    glBegin(GL_QUADS);
    for (int i = 0; i < segments; ++i) {
        const double a = i * 6.2832 / segments + phase;
        const double b = (i + 1) * 6.2832 / segments + phase;
        const double ax = std::cos(a) * radius, ay = std::sin(a) * radius;
        const double bx = std::cos(b) * radius, by = std::sin(b) * radius;
        const double uA = (uFrom * (segments - i) + uTo * i) / segments;
        const double uB = (uFrom * (segments - i - 1) + uTo * (i + 1)) / segments;
        glTexCoord2f(static_cast<float>(uA), static_cast<float>(vFrom));
        glVertex3f(static_cast<float>(ax), static_cast<float>(ay), static_cast<float>(zFrom));
        glTexCoord2f(static_cast<float>(uB), static_cast<float>(vFrom));
        glVertex3f(static_cast<float>(bx), static_cast<float>(by), static_cast<float>(zFrom));
        glTexCoord2f(static_cast<float>(uB), static_cast<float>(vTo));
        glVertex3f(static_cast<float>(bx), static_cast<float>(by), static_cast<float>(zTo));
        glTexCoord2f(static_cast<float>(uA), static_cast<float>(vTo));
        glVertex3f(static_cast<float>(ax), static_cast<float>(ay), static_cast<float>(zTo));
    }
    glEnd();
    glDisable(GL_BLEND);
}

}  // namespace effects
