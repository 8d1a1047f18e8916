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
            p.moved = d == 0.0f || radius > d;
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

namespace {

// The lens warp's state and matrices, then body(grid) emits the quad strips, then the matrices
// and the depth function are restored.
template <typename Body>
void drawThroughLens(float centreX, float centreY, float strength, int width, int height,
                     assets::Texture& texture, Body body) {
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
    body(grid);

    glPopMatrix();
    glPopMatrix();
    glDepthFunc(GL_LESS);
}

// One column of a quad strip: the point of the lower grid row, then the upper one.
void emitColumn(const LensGridPoint& lower, const LensGridPoint& upper) {
    for (const LensGridPoint& p : {lower, upper}) {
        glTexCoord2f(p.s, p.t);
        glVertex2f(p.x, p.y);
    }
}

constexpr int kLensCells = kLensGridSide - 1;

bool rowMoved(const LensGrid& grid, int j) {
    for (const LensGridPoint& p : grid[j])
        if (p.moved) return true;
    return false;
}

// Whether the lens moves point (j, i) or a horizontal neighbour of it.
bool movedAround(const LensGrid& grid, int j, int i) {
    for (int k = i - 1; k <= i + 1; ++k)
        if (k >= 0 && k < kLensGridSide && grid[j][k].moved) return true;
    return false;
}

}  // namespace

void drawLensWarp(float centreX, float centreY, float strength, int width, int height,
                  assets::Texture& texture) {
    drawThroughLens(centreX, centreY, strength, width, height, texture, [](const LensGrid& grid) {
        for (int j = 0; j < kLensCells; ++j) {
            glBegin(GL_QUAD_STRIP);
            for (int i = 0; i < kLensGridSide; ++i) emitColumn(grid[j][i], grid[j + 1][i]);
            glEnd();
        }
    });
}

void drawLensWarpMerged(float centreX, float centreY, float strength, int width, int height,
                        assets::Texture& texture) {
    drawThroughLens(centreX, centreY, strength, width, height, texture, [](const LensGrid& grid) {
        bool moved[kLensGridSide];
        for (int j = 0; j < kLensGridSide; ++j) moved[j] = rowMoved(grid, j);
        for (int lower = 0; lower < kLensCells;) {
            // The strip runs up to the next grid row, or over every row the lens leaves alone.
            int upper = lower + 1;
            if (!moved[lower] && !moved[upper])
                while (upper < kLensCells && !moved[upper + 1]) ++upper;
            glBegin(GL_QUAD_STRIP);
            for (int i = 0; i < kLensGridSide; ++i) {
                const bool inner = i > 0 && i < kLensCells;
                if (inner && !movedAround(grid, lower, i) && !movedAround(grid, upper, i)) continue;
                emitColumn(grid[lower][i], grid[upper][i]);
            }
            glEnd();
            lower = upper;
        }
    });
}

}  // namespace content
