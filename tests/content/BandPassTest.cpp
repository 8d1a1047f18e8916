#include "content/BandPass.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "content/Timeline.h"
#include "effects/LayerFixtures.h"
#include "effects/SceneSetup.h"
#include "effects/ScreenLayers.h"
#include "support/GlTestContext.h"

namespace {

using namespace testfixtures;
using content::BandLayer;
using content::BandPass;

// Glow levels as the content makes them (512 x 256, then squares of 256 down to 2; RGB, linear,
// clamped), filled with a smooth pattern plus noise so that the samples land anywhere between
// levels.
enum class Fill {
    Pattern,
    Solid,    // every texel grey 200
    Patches,  // black, with the pattern in one patch and dim noise (0 .. 40) in another
    Uniform,  // each level one dim colour of its own (the end fade's levels are one grey)
};

class GlowLevels {
public:
    explicit GlowLevels(unsigned seed, Fill fill = Fill::Pattern) {
        std::mt19937 random(seed);
        std::uniform_int_distribution<int> noise(-40, 40);
        for (int i = 0; i < BandPass::kLevelCount; ++i) {
            const int w = i == 0 ? 512 : 512 >> i, h = i == 0 ? 256 : 512 >> i;
            auto t = std::make_unique<assets::Texture>(w, h);
            t->setRepeat(false);
            unsigned char* p = t->pixels.get();
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    for (int c = 0; c < 4; ++c) {
                        const int smooth = (x * 255 / w + y * 255 / h + c * 80) % 256;
                        int v = std::clamp(smooth + noise(random), 0, 255);
                        if (fill == Fill::Solid) v = 200;
                        if (fill == Fill::Uniform) v = c == 3 ? 255 : (9 + 13 * i + 17 * c) % 45;
                        if (fill == Fill::Patches) {
                            const bool bright = 8 * x >= w && 8 * x < 3 * w && 2 * y >= h && 8 * y < 7 * h;
                            const bool dim = 8 * x >= 5 * w && 8 * x < 7 * w && 8 * y >= h && 2 * y < h;
                            v = bright ? v : dim ? std::abs(noise(random)) : 0;
                        }
                        *p++ = static_cast<unsigned char>(v);
                    }
            t->upload();
            owned_.push_back(std::move(t));
            levels[i] = owned_.back().get();
        }
    }
    std::array<assets::Texture*, BandPass::kLevelCount> levels{};

private:
    std::vector<std::unique_ptr<assets::Texture>> owned_;
};

struct Fog {
    float grey;
    float end;
};
constexpr Fog kShowFog{0.0f, 100000.0f};  // the frame's fog for most of the show: no effect on layers

// The band as the fixed-function layers draw it, or as the band pass draws it; RGBA rows of the
// visible part of the band.
std::vector<unsigned char> drawBand(const std::vector<BandLayer>& layers, const GlowLevels& glow, int width,
                                    int height, Fog fog, BandPass* pass) {
    glViewport(0, 0, 640, 480);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const float fogColour[4] = {fog.grey, fog.grey, fog.grey, 1.0f};
    effects::setLinearFog(fogColour, fog.end);
    if (pass) {
        EXPECT_TRUE(pass->compose(layers, glow.levels, width, height));
    } else {
        for (const BandLayer& l : layers)
            effects::drawLetterboxLayer(l.alpha, 0, l.offsetX, l.offsetY, l.scaleX, l.scaleY, width, height,
                                        *glow.levels[l.level]);
    }
    glDisable(GL_FOG);
    const int rows = std::min(height - effects::kLetterboxRows, 480 - 104);
    const int columns = std::min(width, 640);
    std::vector<unsigned char> pixels(static_cast<std::size_t>(columns) * rows * 4);
    glReadPixels(0, 104, columns, rows, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

struct Difference {
    int maxLevel = 0;
    int overOne = 0;
    int pixels = 0;
    int coverage = 0;  // pixels black in one picture only
};

Difference compare(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
    Difference d;
    d.pixels = static_cast<int>(a.size() / 4);
    for (std::size_t k = 0; k < a.size(); k += 4) {
        int pixel = 0;
        for (int c = 0; c < 4; ++c) pixel = std::max(pixel, std::abs(a[k + c] - b[k + c]));
        d.maxLevel = std::max(d.maxLevel, pixel);
        d.overOne += pixel > 1;
        d.coverage += (a[k] + a[k + 1] + a[k + 2] == 0) != (b[k] + b[k + 1] + b[k + 2] == 0);
    }
    return d;
}

class BandPassTest : public testsupport::GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        pass = BandPass::create();
        ASSERT_NE(pass, nullptr) << "the GL offers no GLSL or the band programs do not build";
    }
    std::unique_ptr<BandPass> pass;
};

// The show's layers at scene time t, as the composer computes them.
std::vector<BandLayer> layersAt(float t) {
    const content::Burst burst = content::burstAt(t);
    return content::bandLayers(content::titleShapeAt(t), content::glowMix(burst), content::flashAt(t, burst),
                               burst.strength, content::swell(t), content::swell(t - 16.0f));
}

struct GateCase {
    const char* name;
    float t;
    int width, height;
    Fog fog;
    unsigned seed;
};

// Draws `layers` over `glow` both ways as case c says and expects the band pass's band within
// the gate of the fixed-function one; returns the largest difference of the alpha channel.
int expectWithinTheGate(const std::vector<BandLayer>& layers, const GlowLevels& glow, const GateCase& c, BandPass* pass) {
    const auto faithful = drawBand(layers, glow, c.width, c.height, c.fog, nullptr);
    const auto fast = drawBand(layers, glow, c.width, c.height, c.fog, pass);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << c.name;
    const Difference d = compare(faithful, fast);
    EXPECT_LE(d.maxLevel, 2);
    EXPECT_LE(d.overOne, d.pixels / 1000);
    std::printf("[ band     ] %-36s largest difference %d, %d of %d pixels more than 1 off\n", c.name, d.maxLevel,
                d.overOne, d.pixels);
    int alphaOff = 0;
    for (std::size_t k = 3; k < fast.size(); k += 4) alphaOff = std::max(alphaOff, std::abs(faithful[k] - fast[k]));
    return alphaOff;
}

TEST_F(BandPassTest, StaysWithinTwoLevelsOfTheFixedFunctionLayers) {
    const GateCase cases[] = {
        {"title inset, corners on the centre", 50.0f, 640, 480, kShowFog, 1},
        {"title widening", 130.5f, 640, 480, kShowFog, 2},
        {"plain", 200.0f, 640, 480, kShowFog, 3},
        {"first burst", 259.0f, 640, 480, kShowFog, 4},
        {"second burst with streaks", 321.0f, 640, 480, kShowFog, 5},
        {"swell peak with streaks", 352.0f, 640, 480, kShowFog, 6},
        {"third burst", 421.0f, 640, 480, kShowFog, 7},
        {"white-out: fog colour beyond white", 560.0f, 640, 480, {16.0f, 0.01f}, 8},
        {"opening: black fog", 0.2f, 640, 480, {0.0f, 0.5f}, 9},
        // A fog colour that saturates nothing: every layer adds its alpha's share of it.
        {"grey fog replacing the colour", 200.0f, 640, 480, {0.6f, 0.5f}, 12},
        {"grey fog replacing the colour, streaks", 352.0f, 640, 480, {0.3f, 0.5f}, 13},
        {"1280 x 960 band", 200.0f, 1280, 960, kShowFog, 10},
        {"1280 x 960 band with streaks", 352.0f, 1280, 960, kShowFog, 11},
    };
    for (const GateCase& c : cases) {
        SCOPED_TRACE(c.name);
        expectWithinTheGate(layersAt(c.t), GlowLevels(c.seed), c, pass.get());
    }
}

// Over black parts of the levels and dim ones (at the corner copies' rounding edges) the band
// leaves out the terms that add nothing there: the colour stays within the gate and the alpha
// channel, which takes every layer's alpha wherever it lies, is the fixed-function one exactly.
TEST_F(BandPassTest, LeavesOutTermsOnlyWhereTheyAddNothing) {
    const GateCase cases[] = {
        {"title inset", 50.0f, 640, 480, kShowFog, 21},
        {"plain", 200.0f, 640, 480, kShowFog, 22},
        {"second burst with streaks", 321.0f, 640, 480, kShowFog, 23},
        {"swell peak with streaks", 352.0f, 640, 480, kShowFog, 24},
        {"1280 x 960 band", 200.0f, 1280, 960, kShowFog, 25},
    };
    // Then a few heavy layers alone, so that whole draws are left out over the black parts.
    const std::vector<BandLayer> heavy = {
        {0, 1.0f, 0, 0, 1.25f, 1.25f}, {1, 0.3f, 24, -16, 1.25f, 1.25f}, {2, 0.2f, -40, 30, 0.9f, 1.1f}};
    for (std::size_t k = 0; k <= std::size(cases); ++k) {
        const GateCase c = k < std::size(cases) ? cases[k] : GateCase{"heavy layers alone", 0.0f, 640, 480, kShowFog, 26};
        SCOPED_TRACE(c.name);
        const GlowLevels glow(c.seed, Fill::Patches);
        const std::vector<BandLayer> layers = k < std::size(cases) ? layersAt(c.t) : heavy;
        EXPECT_EQ(expectWithinTheGate(layers, glow, c, pass.get()), 0) << "alpha channel";
    }
}

// A fog that replaces the layers' colour makes every layer add one colour over its own quad:
// the band is the fixed-function one to the bit, every channel, however the levels look and
// wherever the layers lie (the title's narrow layers, the corner copies, the streaks).
TEST_F(BandPassTest, UnderAReplacingFogIsTheFixedFunctionBandExactly) {
    const GateCase cases[] = {
        {"white-out: fog colour beyond white", 560.0f, 640, 480, {16.0f, 0.01f}, 31},
        {"opening: black fog", 0.2f, 640, 480, {0.0f, 0.5f}, 32},
        // Dim fogs, which saturate nothing: every layer's share is rounded on its own.
        {"title inset, dim fog", 50.0f, 640, 480, {0.05f, 0.5f}, 33},
        {"plain, dim fog", 200.0f, 640, 480, {0.1f, 0.5f}, 34},
        {"streaks, dim fog", 352.0f, 640, 480, {0.03f, 0.5f}, 35},
        {"1280 x 960 band, streaks, dim fog", 321.0f, 1280, 960, {0.07f, 0.5f}, 36},
    };
    for (const GateCase& c : cases) {
        SCOPED_TRACE(c.name);
        const GlowLevels glow(c.seed);
        const std::vector<BandLayer> layers = layersAt(c.t);
        const auto faithful = drawBand(layers, glow, c.width, c.height, c.fog, nullptr);
        const auto fast = drawBand(layers, glow, c.width, c.height, c.fog, pass.get());
        const Difference d = compare(faithful, fast);
        EXPECT_EQ(d.maxLevel, 0);
        EXPECT_EQ(d.coverage, 0);
        expectNoGlError("compose");
    }
}

// Over levels of one colour each, the terms that add one colour all over a tile come from a flat
// colour there instead of samples: the band stays within the gate (the corner copies' edges
// a unit in the last place off at most) and the alpha channel is the fixed-function one.
TEST_F(BandPassTest, LevelsOfOneColourAddTheirColour) {
    const GateCase cases[] = {
        {"end fade", 600.0f, 640, 480, kShowFog, 41},
        {"title inset", 50.0f, 640, 480, kShowFog, 42},
        {"plain", 200.0f, 640, 480, kShowFog, 43},
        {"swell peak with streaks", 352.0f, 640, 480, kShowFog, 44},
        {"1280 x 960 band", 200.0f, 1280, 960, kShowFog, 45},
    };
    for (const GateCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(expectWithinTheGate(layersAt(c.t), GlowLevels(c.seed, Fill::Uniform), c, pass.get()), 0) << "alpha channel";
    }
}

// A negative fog end leaves a fraction of each layer's colour (end / (end - 1) at the layers):
// the pass leaves that to the fixed-function layers and draws nothing.
TEST_F(BandPassTest, LeavesAPartialFogToTheCaller) {
    const GlowLevels glow(14);
    glViewport(0, 0, 640, 480);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const float grey[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    effects::setLinearFog(grey, -1.0f);  // half the colour kept
    EXPECT_FALSE(pass->compose(layersAt(200.0f), glow.levels, 640, 480));
    glDisable(GL_FOG);
    std::vector<unsigned char> pixels(640 * 480 * 4, 1);
    glReadPixels(0, 0, 640, 480, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0), static_cast<std::ptrdiff_t>(pixels.size()));
    expectNoGlError("compose");
}

TEST_F(BandPassTest, EdgesOnPixelCentresCoverTheSamePixels) {
    // A 640 x 416 layer space over a band of 208 rows (one unit a pixel across, two units a pixel
    // down): the offsets (0.5, 1) put every edge of a half-size layer exactly on pixel centres.
    const GlowLevels glow(12, Fill::Solid);
    for (const float scale : {0.5f, -0.5f}) {
        const std::vector<BandLayer> layers = {{1, 1.0f, 0.5f, 1.0f, scale, 0.5f}, {3, 0.6f, -0.5f, -1.0f, 0.5f, scale}};
        const auto faithful = drawBand(layers, glow, 640, 416, kShowFog, nullptr);
        const auto fast = drawBand(layers, glow, 640, 416, kShowFog, pass.get());
        const Difference d = compare(faithful, fast);
        EXPECT_EQ(d.coverage, 0) << "scale " << scale;
        EXPECT_LE(d.maxLevel, 1) << "scale " << scale;
    }
}

TEST_F(BandPassTest, LeavesTheStateOfTheLastLayer) {
    const GlowLevels glow(13);
    const auto other = solidTexture({10, 20, 30});
    glActiveTexture(GL_TEXTURE3);
    glBindTexture(GL_TEXTURE_2D, other->glName);
    glActiveTexture(GL_TEXTURE0);
    const std::vector<BandLayer> layers = {{2, 0.5f, 0, 0, 1.0f, 1.0f}, {5, 0.25f, 3, 3, 1.25f, 1.25f}};
    ASSERT_TRUE(pass->compose(layers, glow.levels, 640, 480));
    expectNoGlError("compose");
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 104, 640, 272}));
    EXPECT_TRUE(enabled(GL_BLEND));
    EXPECT_EQ(integer(GL_BLEND_SRC), GL_SRC_ALPHA);
    EXPECT_EQ(integer(GL_BLEND_DST), GL_ONE);
    EXPECT_FALSE(enabled(GL_DEPTH_TEST));
    EXPECT_EQ(integer(GL_DEPTH_WRITEMASK), GL_FALSE);
    EXPECT_EQ(integer(GL_SHADE_MODEL), GL_SMOOTH);
    EXPECT_FLOAT_EQ(colour()[3], 0.25f);
    EXPECT_EQ(integer(GL_CURRENT_PROGRAM), 0);
    EXPECT_EQ(integer(GL_ACTIVE_TEXTURE), GL_TEXTURE0);
    EXPECT_TRUE(enabled(GL_TEXTURE_2D));
    EXPECT_EQ(static_cast<GLuint>(integer(GL_TEXTURE_BINDING_2D)), glow.levels[5]->glName);
    glActiveTexture(GL_TEXTURE3);
    EXPECT_EQ(static_cast<GLuint>(integer(GL_TEXTURE_BINDING_2D)), other->glName);
    glActiveTexture(GL_TEXTURE0);
}

TEST_F(BandPassTest, CreationLeavesTheStateAndThePictureAsFound) {
    clearTo(0.25f);
    const auto other = solidTexture({10, 20, 30});
    glActiveTexture(GL_TEXTURE2);
    glBindTexture(GL_TEXTURE_2D, other->glName);
    glActiveTexture(GL_TEXTURE1);
    glViewport(0, 104, 640, 272);
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glMatrixMode(GL_TEXTURE);
    const auto made = BandPass::create();
    ASSERT_NE(made, nullptr);
    expectNoGlError("create");
    EXPECT_EQ(integer(GL_ACTIVE_TEXTURE), GL_TEXTURE1);
    EXPECT_EQ(integer(GL_MATRIX_MODE), GL_TEXTURE);
    glMatrixMode(GL_MODELVIEW);
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 104, 640, 272}));
    EXPECT_FALSE(enabled(GL_BLEND));
    EXPECT_TRUE(enabled(GL_DEPTH_TEST));
    EXPECT_EQ(integer(GL_CURRENT_PROGRAM), 0);
    glActiveTexture(GL_TEXTURE2);
    EXPECT_EQ(static_cast<GLuint>(integer(GL_TEXTURE_BINDING_2D)), other->glName);
    glActiveTexture(GL_TEXTURE0);
    EXPECT_EQ(pixelAt(0, 0), (Rgb{64, 64, 64}));
}

TEST_F(BandPassTest, DrawsNothingWhenALevelIsMissingOrUnfit) {
    GlowLevels glow(14);
    assets::Texture neverUploaded(4);
    glow.levels[7] = &neverUploaded;
    clearTo(0.0f);
    EXPECT_FALSE(pass->compose(layersAt(200.0f), glow.levels, 640, 480));
    EXPECT_EQ(pixelAt(320, 240), (Rgb{0, 0, 0}));
    glow.levels[7] = nullptr;
    EXPECT_FALSE(pass->compose(layersAt(200.0f), glow.levels, 640, 480));
    // An RGBA level: its samples' alpha would weigh the terms.
    std::unique_ptr<unsigned char[]> rgba(new unsigned char[4 * 4 * 4]());
    assets::Texture withAlpha(std::move(rgba), 4, 4, 32, 2);
    glow.levels[7] = &withAlpha;
    EXPECT_FALSE(pass->compose(layersAt(200.0f), glow.levels, 640, 480));
    EXPECT_EQ(pixelAt(320, 240), (Rgb{0, 0, 0}));
    EXPECT_FALSE(pass->compose(layersAt(200.0f), GlowLevels(15).levels, 640, 200));  // no band rows
}

// The rounding the pass reproduces, checked on this GL: an untextured colour written without
// blending is stored as frameBufferLevel says, ties included.
TEST_F(BandPassTest, FrameBufferLevelIsWhatTheGlStores) {
    const float values[] = {0.0f, 1.0f, -0.5f, 3.0f, 0.5f / 255, 1.5f / 255, 2.5f / 255, 127.5f / 255, 128.5f / 255,
                            254.5f / 255, 0.2f, 0.7f, 0.123456f, 100.49f / 255, 100.51f / 255};
    clearTo(0.0f);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    effects::setScreenOrtho(640, 480);
    for (const float v : values) {
        glColor4f(v, v, v, 1.0f);
        glBegin(GL_QUADS);
        glVertex2f(0, 0);
        glVertex2f(8, 0);
        glVertex2f(8, 8);
        glVertex2f(0, 8);
        glEnd();
        EXPECT_EQ(pixelAt(4, 476)[0], content::frameBufferLevel(v)) << "colour " << v;
    }
    EXPECT_EQ(content::frameBufferLevel(0.5f / 255), 0);  // tie to even
    EXPECT_EQ(content::frameBufferLevel(1.5f / 255), 2);
    EXPECT_EQ(content::frameBufferLevel(3.0f), 255);
}

// Whether a layer adds anything, as the GL's blend decides it: a layer of one grey (the peak)
// weighted by alpha under a fog, drawn over black, leaves black exactly when layerAddsNothing
// says so. The cases sit on both sides of the product's rounding edge (level times alpha 128).
TEST_F(BandPassTest, LayerAddsNothingIsWhatTheBlendAdds) {
    struct Case {
        float alpha;
        int peak;
        Fog fog;
        bool nothing;
    };
    const Case cases[] = {
        {0.01f, 42, kShowFog, true},    // 42 * 3 = 126
        {0.01f, 43, kShowFog, false},   // 129
        {0.1f, 4, kShowFog, true},      // alpha level 26: 104
        {0.1f, 5, kShowFog, false},     // 130
        {1.0f / 255, 127, kShowFog, true},
        {1.0f / 255, 128, kShowFog, false},
        {0.0f, 255, kShowFog, true},
        {-0.5f, 255, kShowFog, true},
        {1.0f, 1, kShowFog, false},
        {0.01f, 0, {0.5f, 0.5f}, false},    // the fog's colour replaces the black
        {1.0f, 255, {0.0f, 0.5f}, true},    // a black fog replaces the white
        {0.01f, 40, {0.1f, -1.0f}, true},   // half kept, 0.05 added: level 33, times 3
        {0.02f, 40, {0.1f, -1.0f}, false},  // times 5
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("alpha " + std::to_string(c.alpha) + ", peak " + std::to_string(c.peak));
        const auto grey = solidTexture({static_cast<unsigned char>(c.peak), static_cast<unsigned char>(c.peak),
                                        static_cast<unsigned char>(c.peak)});
        clearTo(0.0f);
        const float fogColour[4] = {c.fog.grey, c.fog.grey, c.fog.grey, 1.0f};
        effects::setLinearFog(fogColour, c.fog.end);
        EXPECT_EQ(content::layerAddsNothing(c.alpha, c.peak, content::layerFogInForce()), c.nothing);
        effects::drawLetterboxLayer(c.alpha, 0, 0, 0, 1, 1, 640, 480, *grey);
        glDisable(GL_FOG);
        EXPECT_EQ(pixelAt(320, 240) == (Rgb{0, 0, 0}), c.nothing);
    }
}

// A level known to be black (peak 0) is left out: the band's colour is still the fixed-function
// layers' (their alpha channel, which nothing reads, lacks the black level's share).
TEST_F(BandPassTest, LeavesOutTheLayersOfABlackLevel) {
    GlowLevels glow(16);
    assets::Texture black(2, 2);  // as the never filled last level: zero texels
    black.setRepeat(false);
    glow.levels[8] = &black;
    std::array<int, BandPass::kLevelCount> peaks;
    peaks.fill(255);
    peaks[8] = 0;
    for (const float t : {200.0f, 352.0f}) {
        SCOPED_TRACE("t " + std::to_string(t));
        const std::vector<BandLayer> layers = layersAt(t);
        const auto faithful = drawBand(layers, glow, 640, 480, kShowFog, nullptr);
        clearTo(0.0f);
        ASSERT_TRUE(pass->compose(layers, glow.levels, 640, 480, peaks));
        std::vector<unsigned char> fast(faithful.size());
        glReadPixels(0, 104, 640, 272, GL_RGBA, GL_UNSIGNED_BYTE, fast.data());
        int maxLevel = 0, overOne = 0;
        for (std::size_t k = 0; k < fast.size(); k += 4) {
            int pixel = 0;
            for (int c = 0; c < 3; ++c) pixel = std::max(pixel, std::abs(faithful[k + c] - fast[k + c]));
            maxLevel = std::max(maxLevel, pixel);
            overOne += pixel > 1;
        }
        EXPECT_LE(maxLevel, 2);
        EXPECT_LE(overOne, 640 * 272 / 1000);
        // The alpha channel is the fixed-function one to the level: the black level's layers
        // still add their alpha.
        int alphaOff = 0;
        for (std::size_t k = 3; k < fast.size(); k += 4) alphaOff = std::max(alphaOff, std::abs(faithful[k] - fast[k]));
        EXPECT_LE(alphaOff, 0);
    }
    // Peaks of 0 for every level leave every layer's colour out.
    peaks.fill(0);
    clearTo(0.0f);
    ASSERT_TRUE(pass->compose(layersAt(200.0f), glow.levels, 640, 480, peaks));
    std::vector<unsigned char> band(640 * 272 * 4);
    glReadPixels(0, 104, 640, 272, GL_RGBA, GL_UNSIGNED_BYTE, band.data());
    int lit = 0;
    for (std::size_t k = 0; k < band.size(); k += 4) lit += band[k] + band[k + 1] + band[k + 2] > 0;
    EXPECT_EQ(lit, 0);
}

// Offset layers, partly covering the band or covering it, in numbers that take one program or
// several of several sizes: the band the pass sums in one compose is, to the bit, the one it adds
// up layer by layer (each a program of one term; the blend adds whole levels and saturates the
// same either way), so every term of a program reads its own values.
TEST_F(BandPassTest, SumsManyOffsetLayersAsOneAtATime) {
    const GlowLevels glow(51);
    std::vector<unsigned char> together(640 * 272 * 4), apart(together.size());
    for (const float scale : {0.55f, 1.4f}) {      // partly covering, covering
        for (const int count : {3, 8, 9, 13, 16, 17, 30}) {
            SCOPED_TRACE("scale " + std::to_string(scale) + ", " + std::to_string(count) + " layers");
            std::vector<BandLayer> layers;
            for (int i = 0; i < count; ++i) {
                const float x = static_cast<float>(i % 7 * 23 - 70), y = static_cast<float>(i % 5 * 17 - 34);
                const float alpha = 0.015f + 0.007f * static_cast<float>(i % 6);
                layers.push_back({i % BandPass::kLevelCount, alpha, x, y, i % 2 ? scale : -scale, scale});
            }
            clearTo(0.0f);
            ASSERT_TRUE(pass->compose(layers, glow.levels, 640, 480));
            glReadPixels(0, 104, 640, 272, GL_RGBA, GL_UNSIGNED_BYTE, together.data());
            clearTo(0.0f);
            for (const BandLayer& layer : layers) ASSERT_TRUE(pass->compose({layer}, glow.levels, 640, 480));
            glReadPixels(0, 104, 640, 272, GL_RGBA, GL_UNSIGNED_BYTE, apart.data());
            expectNoGlError("compose");
            const Difference d = compare(together, apart);
            EXPECT_EQ(d.maxLevel, 0);
            int lit = 0;
            for (std::size_t k = 0; k < apart.size(); k += 4) lit += apart[k] + apart[k + 1] + apart[k + 2] > 0;
            EXPECT_GT(lit, d.pixels / 4) << "the layers add too little to tell their terms apart";
        }
    }
}

TEST(BandLayers, FollowTheComposersOrderAndWeights) {
    const std::vector<BandLayer> plain = layersAt(200.0f);
    ASSERT_EQ(plain.size(), 45u);  // no streaks: centre and four corners per level
    const std::vector<BandLayer> streaks = layersAt(352.0f);
    ASSERT_EQ(streaks.size(), 81u);
    for (int level = 0; level < BandPass::kLevelCount; ++level) {
        const content::GlowLevelWeights w = content::glowLevelWeights(level, 0.0, content::swell(184.0f), 1.0);
        const BandLayer& centre = plain[static_cast<std::size_t>(level) * 5];
        EXPECT_EQ(centre.level, level);
        EXPECT_FLOAT_EQ(centre.alpha, static_cast<float>(w.centreAlpha));
        EXPECT_FLOAT_EQ(centre.scaleX, 1.25f);
        const BandLayer& lastCorner = plain[static_cast<std::size_t>(level) * 5 + 4];
        EXPECT_FLOAT_EQ(lastCorner.offsetX, static_cast<float>(w.spread));
        EXPECT_FLOAT_EQ(lastCorner.offsetY, static_cast<float>(w.spread));
        EXPECT_FLOAT_EQ(lastCorner.alpha, static_cast<float>(w.cornerAlpha));
    }
    // Streaks: wide, wide mirrored upside down, tall, tall mirrored sideways.
    const BandLayer* s = &streaks[5];
    EXPECT_FLOAT_EQ(s[0].scaleX, 2.5f);
    EXPECT_FLOAT_EQ(s[1].scaleY, -1.25f);
    EXPECT_FLOAT_EQ(s[2].scaleY, 2.5f);
    EXPECT_FLOAT_EQ(s[3].scaleX, -1.25f);
}

}  // namespace
