// The frame composer: one complete frame from the music time, in five passes.
//   1. the scenes into the 512 x 256 working area, plus the flash and swell layers;
//   2. the working area copied into the glow chain (512 x 256, 256 x 256, 128 .. 4 squares);
//   3. the chain added back, level by level, into the letterbox band as a glow;
//   4. the band copied and redrawn through the lens warp;
//   5. the logo and the credits added on top.
// Nothing is kept between frames except render-target pixels, each overwritten before it is
// read. Fog, set by the star sphere scene, stays on for every layer: the layers lie at eye
// distance 0, so they are untouched while the fog end is above 1 and take the fog colour when
// it is below 1 (the black opening frames, the white section from t = 544 to 576).
#include <GL/gl.h>

#include <array>
#include <cmath>
#include <vector>

#include "content/BandPass.h"
#include "content/DemoContent.h"
#include "content/LensWarp.h"
#include "content/Timeline.h"
#include "effects/ScreenLayers.h"

namespace content {

namespace {

constexpr int kWorkWidth = 512;   // the scenes' working area
constexpr int kWorkHeight = 256;
constexpr float kCoreSceneEnd = 576.0f;
// The band region copied for the lens warp, fixed whatever the window size.
constexpr int kScreenCopyWidth = 640;
constexpr int kScreenCopyHeight = 272;
constexpr int kScreenCopyBottom = 104;
// The title strips: 512 x 64 units of the 640 x 480 layer space, flipped upright.
constexpr float kStripScaleX = 0.8f;
constexpr float kStripScaleY = -0.13333334f;

}  // namespace

struct DemoContent::FrameTimes {
    float t;
    float swell1;  // S1 = swell(t)
    float swell2;  // S2 = swell(t - 16)
    Burst burst;
    float flash;   // F
    double glowMix;  // H
    TitleShape title;
};

void DemoContent::drawFrame(int ms) {
    FrameTimes times{};
    times.t = sceneTime(ms);
    times.swell1 = swell(times.t);
    times.swell2 = swell(times.t - 16.0f);
    times.burst = burstAt(times.t);
    times.flash = flashAt(times.t, times.burst);
    times.glowMix = glowMix(times.burst);
    times.title = titleShapeAt(times.t);

    auto done = [this](int pass) {
        if (passDone) passDone(pass);
    };
    renderScenes(ms, times);  // the picture, into the working area
    done(1);
    buildGlowChain();         // ever smaller copies of it
    done(2);
    composeBand(times);       // sharp and blurred copies summed into the band
    done(3);
    warpBand(times);          // the band through the lens
    done(4);
    overlayTitles(times);     // logo and credits on top
    done(5);
}

void DemoContent::renderScenes(int ms, const FrameTimes& times) {
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glViewport(0, 0, kWorkWidth, kWorkHeight);
    // The star sphere scene clears the whole frame buffer again first thing: the fast path
    // leaves this clear to it.
    if (renderPath == RenderPath::Faithful) glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    glPushMatrix();
    drawStarSphere(ms);
    glPopMatrix();

    if (times.t < kCoreSceneEnd) {
        glPushMatrix();
        drawCoreScene(ms);
        glPopMatrix();
    }

    // Flash and swell glow: with a 128-high layer the band would be negative, so the working
    // area's viewport stays and each layer covers it, flipped and stretched to twice the height.
    // The fast path only sets the state of a layer that adds nothing to any pixel (the swell
    // layer for most of the show, its alpha a few millionths, rounds to 0 in the blend): the
    // glow chain's screen quads draw with the colour it leaves.
    const LayerFog fog = renderPath != RenderPath::Faithful ? layerFogInForce() : LayerFog{};
    auto layer = [&](float alpha) {
        assets::Texture& texture = *blueshiftTexture;
        if (renderPath != RenderPath::Faithful && layerAddsNothing(alpha, 255, fog))
            effects::setLetterboxLayerState(alpha, 128, 128, texture);
        else
            effects::drawLetterboxLayer(alpha, 0, 0, 0, 1.0f, -2.0f, 128, 128, texture);
    };
    glPushMatrix();
    if (blueshiftTexture) {
        if (times.flash > 0) layer(times.flash * 0.5f);
        layer(static_cast<float>(times.swell1 * 0.075 * 0.5));
    }
    glPopMatrix();

    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
}

void DemoContent::buildGlowChain() {
    glowLevels[0]->copyFromFrameBuffer();

    // Every pixel a level is copied from is first overwritten by an opaque quad, and the band
    // clears the frame buffer again before it reads anything: the fast path skips this clear.
    if (renderPath == RenderPath::Faithful) glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glViewport(0, 0, 256, 256);
    effects::drawScreenQuad(256, 256, *glowLevels[0]);
    glowLevels[1]->copyFromFrameBuffer();

    glDepthMask(GL_TRUE);
    glDisable(GL_DEPTH_TEST);
    // Levels 2 to 7 all come from level 1; level 8 (2 x 2) is never filled and stays black.
    if (renderPath == RenderPath::Faithful) {
        for (int i = 4; i <= 9; ++i) {
            const int side = static_cast<int>(std::pow(2.0, 11 - i));
            effects::drawScreenQuad(side, side, *glowLevels[1]);
            glowLevels[i - 2]->copyFromFrameBuffer();
        }
        return;
    }
    // The fast path draws the six squares side by side, the square of side s at x = s - 4 (the
    // last, 4 x 4, at the corner as before), then copies them all: the rasterizer is flushed
    // once instead of six times. Offsets and sides are powers of two or sums of them, so every
    // texel is interpolated as at the corner.
    for (int level = 2; level <= 7; ++level) {
        const int side = 512 >> level;
        effects::drawScreenQuadAt(side - 4, 0, side, side, *glowLevels[1]);
    }
    for (int level = 2; level <= 7; ++level) {
        const int side = 512 >> level;
        glowLevels[level]->copyFromFrameBufferCentred(side - 4 + side / 2, side / 2);
    }
}

void DemoContent::composeBand(const FrameTimes& times) {
    const int width = window->width;
    const int height = window->height;
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    effects::setBandViewport(width, height);

    // Every layer of the band, in drawing order: per glow level the centred layer, its four
    // corner copies and, with the streaks on, four mirrored streaks.
    const std::vector<BandLayer> layers =
        bandLayers(times.title, times.glowMix, times.flash, times.burst.strength, times.swell1, times.swell2);

    // Fast path with GLSL: the same layers summed in a few draws, each term rounded as the
    // 8-bit blend rounds it.
    // The largest component any texel of a level can hold: the last level is never filled.
    std::array<int, kGlowLevelCount> peaks;
    peaks.fill(255);
    peaks[kGlowLevelCount - 1] = 0;
    if (bandPass) {
        std::array<assets::Texture*, kGlowLevelCount> levels{};
        for (int i = 0; i < kGlowLevelCount; ++i) levels[i] = glowLevels[i].get();
        glPushMatrix();
        const bool drawn = bandPass->compose(layers, levels, width, height, peaks);
        glPopMatrix();
        if (drawn) return;
    }

    // The fast path skips the layers that add nothing (alpha <= 0, about a third of them, and the
    // black last level's), keeping their state.
    const LayerFog fog = renderPath != RenderPath::Faithful ? layerFogInForce() : LayerFog{};
    glPushMatrix();
    for (const BandLayer& l : layers) {
        assets::Texture& level = *glowLevels[l.level];
        if (renderPath == RenderPath::Faithful)
            effects::drawLetterboxLayer(l.alpha, 0, l.offsetX, l.offsetY, l.scaleX, l.scaleY, width, height, level);
        else if (layerAddsNothing(l.alpha, peaks[l.level], fog))
            effects::setLetterboxLayerState(l.alpha, width, height, level);
        else
            effects::addLetterboxLayer(l.alpha, 0, l.offsetX, l.offsetY, l.scaleX, l.scaleY, width, height, level);
    }
    glPopMatrix();
}

void DemoContent::warpBand(const FrameTimes& times) {
    glPushMatrix();
    screenTarget->bind();
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, kScreenCopyBottom, kScreenCopyWidth, kScreenCopyHeight);
    effects::setBandViewport(window->width, window->height);
    // 180 outside the swell (a lens smaller than one grid cell), about 1.11 at its peak.
    const double strength = (1.5 - times.swell1) * (1.25 - times.swell1) * 96;
    // The fast path draws the cells the lens leaves alone (all of them outside the swell) as a
    // few large quads.
    const auto warp = renderPath != RenderPath::Faithful ? drawLensWarpMerged : drawLensWarp;
    warp(0.325f, 0.235f, static_cast<float>(strength), kScreenCopyWidth, 480, *screenTarget);
    glPopMatrix();
}

void DemoContent::overlayTitles(const FrameTimes& times) {
    const auto layer = renderPath != RenderPath::Faithful ? effects::addLetterboxLayer : effects::drawLetterboxLayer;
    glPushMatrix();
    if (logoTexture) layer(logoAlpha(times.t), 0, 0, 0, kStripScaleX, kStripScaleY, 640, 480, *logoTexture);
    const std::optional<float> credits = creditsAlpha(times.t);
    if (credits && creditsTexture) {
        layer(*credits, 0, 0, 64, kStripScaleX, kStripScaleY, 640, 480, *creditsTexture);
    }
    glPopMatrix();
}

}  // namespace content
