#include "content/LensWarp.h"

#include <cmath>
#include <initializer_list>

#include "effects/ScreenLayers.h"

namespace content {

void buildLensGrid(float centreX, float centreY, float strength, LensGrid& grid) {
    const float radius = 1.0f / strength;
    for (int j = 0; j < kLensGridSide; ++j) {
        for (int i = 0; i < kLensGridSide; ++i) {
            const float x = i / 32.0f;
            const float y = j / 32.0f;
            const float dx = x - centreX;
            const float dy = y - centreY;
            const float d = std::sqrt(dx * dx + dy * dy);
            LensGridPoint& p = grid[j][i];
            p.x = x;
            p.y = y;
            if (d == 0.0f) {
                p.s = centreX;
                p.t = centreY;
                continue;
            }
            const float f = radius > d ? d * strength : 1.0f;
            p.s = centreX + (dx / d) * d * f;
            p.t = centreY + (dy / d) * d * f;
        }
    }
}

void drawLensWarp(float centreX, float centreY, float strength, int width, int height,
                  assets::Texture& texture) {
    effects::setBandViewport(width, height);
    effects::setScreenOrtho(width, height);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glShadeModel(GL_SMOOTH);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);

    glPushMatrix();
    glTranslatef(0.0f, static_cast<float>(height), 0.0f);
    glScalef(1.6f * width, -1.9f * height, 1.0f);
    texture.bind();
    glPushMatrix();

    LensGrid grid;
    buildLensGrid(centreX, centreY, strength, grid);
    for (int j = 0; j + 1 < kLensGridSide; ++j) {
        glBegin(GL_QUAD_STRIP);
        for (int i = 0; i < kLensGridSide; ++i) {
            for (const LensGridPoint& p : {grid[j][i], grid[j + 1][i]}) {
                glTexCoord2f(p.s, p.t);
                glVertex2f(p.x, p.y);
            }
        }
        glEnd();
    }

    glPopMatrix();
    glPopMatrix();
    glDepthFunc(GL_LESS);
}

}  // namespace content
