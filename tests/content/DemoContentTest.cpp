#include "content/DemoContent.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "content/ContentFixtures.h"
#include "content/Timeline.h"
#include "effects/LayerFixtures.h"
#include "effects/SceneSetup.h"
#include "support/GlTestContext.h"

namespace {

using namespace testfixtures;
using content::DemoContent;

// Music time (ms) of scene time t: the first ms whose t reaches it.
int msAt(float t) {
    int ms = static_cast<int>(std::floor((t + 1.0) * 60000.0 / 145.0)) - 2;
    while (content::sceneTime(ms) < t) ++ms;
    return ms;
}

class ContentTest : public testsupport::GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        window.width = 640;
        window.height = 480;
        window.glActiveTextureARB = activeTextureProc();
        ASSERT_NE(window.glActiveTextureARB, nullptr);
    }

    std::unique_ptr<DemoContent> load(const std::vector<std::string>& missing = {},
                                      content::RenderPath path = content::RenderPath::Faithful) {
        contenttest::writeFixtureData(missing);
        auto content = std::make_unique<DemoContent>(&window, path);
        expectNoGlError("loading the content");
        return content;
    }

    // Draws the frame for scene time t the way the main loop does (depth writes on first).
    void drawFrameAt(DemoContent& content, float t) {
        glDepthMask(GL_TRUE);
        content.drawFrame(msAt(t));
        expectNoGlError("drawFrame");
    }

    // A linear fog from eye distance 1 to `end` (0: none, the star sphere's fog stays).
    struct SceneFog {
        std::array<float, 4> colour;
        float end;
    };

    // The core scene over the star sphere at each music time, 512 x 256 RGB pixels each, under
    // `fog`. The scene's other pictures are pure blue, so with grey particles red and green come
    // from the swarm alone; with `ramps` the particle is fine diagonal ramps, so that every sample
    // shows, else black. The scene leaves the fog as it found it (the star sphere's fog is on).
    std::vector<std::vector<unsigned char>> coreScenes(content::RenderPath path, bool ramps,
                                                        const std::vector<int>& times, const SceneFog& fog) {
        assettest::Bytes particle(64 * 64 * 3, 0);
        for (std::size_t i = 0; ramps && i < particle.size(); ++i)
            particle[i] = static_cast<std::uint8_t>((i / 3 % 64 * 29 + i / 3 / 64 * 53) % 256);
        assettest::writeJpeg("data/parti1.jpg", 64, 64, 3, particle);
        auto content = load({"parti1.jpg"}, path);
        std::vector<std::vector<unsigned char>> pixels;
        for (int ms : times) {
            glViewport(0, 0, 512, 256);
            glDepthMask(GL_TRUE);
            content->drawStarSphere(ms);
            if (fog.end > 0) effects::setLinearFog(fog.colour.data(), fog.end);
            content->drawCoreScene(ms);
            expectNoGlError("drawCoreScene");
            EXPECT_TRUE(enabled(GL_FOG)) << ms;
            EXPECT_EQ(integer(GL_FOG_COORDINATE_SOURCE), GL_FRAGMENT_DEPTH) << ms;
            std::vector<unsigned char> p(512 * 256 * 3);
            glReadPixels(0, 0, 512, 256, GL_RGB, GL_UNSIGNED_BYTE, p.data());
            pixels.push_back(std::move(p));
        }
        return pixels;
    }

    assettest::ScratchDir scratch;
    contenttest::FatalReports reports;
    platform::DrawingSurface window;  // 640 x 480, the test context's entry point
};

GLint textureParameter(assets::Texture& texture, GLenum name) {
    texture.bind();
    GLint v = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, name, &v);
    return v;
}

TEST_F(ContentTest, LoadsEveryResourceInItsPlace) {
    auto content = load();
    EXPECT_TRUE(reports.texts.empty());
    EXPECT_TRUE(content::ballObject.loaded);
    EXPECT_TRUE(content::invsphereObject.loaded);
    EXPECT_EQ(content::ballObject.faceCount, 8);
    ASSERT_NE(content::outlineFont, nullptr);
    EXPECT_EQ(content->window, &window);

    const DemoContent::TexturePtr* pictures[] = {
        &content->valo2cTexture,    &content->darkpartTexture,  &content->valo2cTexture2, &content->fireTexture,
        &content->fire2d2bTexture,  &content->firetwirlTexture, &content->darkpartTexture2,
        &content->logoTexture,      &content->partiTexture,     &content->starsTexture,   &content->valo4Texture,
        &content->blueshiftTexture, &content->rotiTexture,      &content->creditsTexture};
    for (const auto* picture : pictures) {
        ASSERT_NE(*picture, nullptr);
        EXPECT_TRUE((*picture)->mipmapped);
        EXPECT_EQ(textureParameter(**picture, GL_TEXTURE_WRAP_S), GL_REPEAT);
    }
    // A file named twice gives two textures.
    EXPECT_NE(content->valo2cTexture->glName, content->valo2cTexture2->glName);
    EXPECT_NE(content->darkpartTexture->glName, content->darkpartTexture2->glName);

    struct Target {
        assets::Texture* texture;
        int width, height;
        GLint wrap;
    };
    std::vector<Target> targets = {{content->auxTargetA.get(), 512, 256, GL_CLAMP},
                                   {content->auxTargetB.get(), 512, 256, GL_CLAMP},
                                   {content->screenTarget.get(), 1024, 512, GL_REPEAT},
                                   {content->glowLevels[0].get(), 512, 256, GL_CLAMP}};
    for (int level = 1; level < DemoContent::kGlowLevelCount; ++level)
        targets.push_back({content->glowLevels[level].get(), 512 >> level, 512 >> level, GL_CLAMP});
    for (const Target& target : targets) {
        ASSERT_NE(target.texture, nullptr);
        EXPECT_EQ(target.texture->width, target.width);
        EXPECT_EQ(target.texture->height, target.height);
        EXPECT_FALSE(target.texture->mipmapped);
        EXPECT_EQ(textureParameter(*target.texture, GL_TEXTURE_WRAP_S), target.wrap) << target.width;
        EXPECT_EQ(textureParameter(*target.texture, GL_TEXTURE_WRAP_T), target.wrap) << target.width;
    }
    EXPECT_EQ(content->glowLevels[8]->width, 2);
}

TEST_F(ContentTest, MissingFilesAreReportedAndSkipped) {
    auto content = load({"fire.jpg", "stars4.jpg", "parti1.jpg", "vorthlogo2b.jpg", "blueshift.jpg", "ballo.ob3"});
    const std::vector<std::string> expected = {
        "data\\ballo.ob3 cannot load 3dobject", "data\\fire.jpg error loading jpeg.",
        "data\\vorthlogo2b.jpg error loading jpeg.", "data\\parti1.jpg error loading jpeg.",
        "data\\stars4.jpg error loading jpeg.", "data\\blueshift.jpg error loading jpeg."};
    EXPECT_EQ(reports.texts, expected);
    EXPECT_EQ(content->fireTexture, nullptr);
    EXPECT_EQ(content->starsTexture, nullptr);
    EXPECT_EQ(content->blueshiftTexture, nullptr);
    // Loading went on past each failure.
    EXPECT_NE(content->creditsTexture, nullptr);
    EXPECT_NE(content->valo4Texture, nullptr);
    EXPECT_NE(content->screenTarget, nullptr);
    // Every pass runs without the missing pictures: bursts, swell, logo, credits, the white part.
    for (float t : {-2.0f, 64.0f, 258.0f, 321.0f, 352.0f, 512.0f, 560.0f, 600.0f}) {
        drawFrameAt(*content, t);
        EXPECT_EQ(pixelAt(320, 50), (Rgb{0, 0, 0})) << t;
    }
}

TEST_F(ContentTest, StarSphereLeavesItsState) {
    auto content = load();
    const float t = 40.0f;  // fog end 100000, fov above 95
    content->drawStarSphere(msAt(t));
    expectNoGlError("drawStarSphere");
    EXPECT_TRUE(enabled(GL_FOG));
    float fogEnd = 0;
    glGetFloatv(GL_FOG_END, &fogEnd);
    EXPECT_EQ(fogEnd, 100000.0f);
    const auto p = matrix(GL_PROJECTION_MATRIX);
    const double f = 1.0 / std::tan(content::starSphereFov(content::sceneTime(msAt(t))) / 2 * M_PI / 180);
    EXPECT_NEAR(p[5], f, 1e-4);
    EXPECT_NEAR(p[0], f * 272 / 640, 1e-4);
    EXPECT_TRUE(isIdentity(matrix(GL_MODELVIEW_MATRIX)));
    EXPECT_TRUE(enabled(GL_DEPTH_TEST));
    EXPECT_TRUE(enabled(GL_CULL_FACE));
    EXPECT_FALSE(enabled(GL_BLEND));
    EXPECT_FALSE(enabled(GL_TEXTURE_2D));
    EXPECT_EQ(integer(GL_ACTIVE_TEXTURE), GL_TEXTURE0);
}

TEST_F(ContentTest, StarSphereClearAndFogFollowTheTimeline) {
    auto content = load();
    struct Case {
        float t;
        float clearGrey;  // after GL's clamp
        float fogEnd;
        float fogGrey;
    };
    const Case cases[] = {{-1.0f, 0, 100000.0f * (-1.0f / 32768), 0},
                          {512.0f, 0.125f, 50000.0f, 0.325f * 0.125f},
                          {560.0f, 1, 0.01f, 1},
                          {592.0f, 0.125f, 50000.0f, 0.325f * 0.125f}};
    for (const Case& c : cases) {
        content->drawStarSphere(msAt(c.t));
        float v[4] = {};
        glGetFloatv(GL_COLOR_CLEAR_VALUE, v);
        EXPECT_NEAR(v[0], c.clearGrey, 1e-3) << c.t;
        glGetFloatv(GL_FOG_END, v);
        EXPECT_NEAR(v[0], c.fogEnd, std::fabs(c.fogEnd) * 1e-3) << c.t;
        glGetFloatv(GL_FOG_COLOR, v);
        EXPECT_NEAR(v[0], c.fogGrey, 1e-4) << c.t;
        EXPECT_EQ(v[3], 0.0f) << c.t;
    }
}

// Both render paths leave the same state: the next pass relies on it.
constexpr content::RenderPath kPaths[] = {content::RenderPath::Faithful, content::RenderPath::Fast};

TEST_F(ContentTest, CoreSceneLeavesItsStateAndStackDepth) {
  for (content::RenderPath path : kPaths) {
    SCOPED_TRACE(content::renderPathName(path));
    auto content = load({}, path);
    for (float t : {0.0f, 352.0f}) {
        content->drawStarSphere(msAt(t));
        const GLint depth = integer(GL_MODELVIEW_STACK_DEPTH);
        content->drawCoreScene(msAt(t));
        expectNoGlError("drawCoreScene");
        EXPECT_EQ(integer(GL_MODELVIEW_STACK_DEPTH), depth);
        EXPECT_FALSE(enabled(GL_BLEND));
        EXPECT_TRUE(enabled(GL_DEPTH_TEST));
        EXPECT_EQ(integer(GL_DEPTH_WRITEMASK), GL_FALSE);
        EXPECT_FALSE(enabled(GL_CULL_FACE));
        EXPECT_TRUE(enabled(GL_TEXTURE_2D));
        EXPECT_EQ(static_cast<GLuint>(integer(GL_TEXTURE_BINDING_2D)), content->fire2d2bTexture->glName);
        const auto m = static_cast<float>(content::coreSwellAt(content::sceneTime(msAt(t))).brightness);
        const auto c = colour();
        EXPECT_FLOAT_EQ(c[0], m) << t;
        EXPECT_FLOAT_EQ(c[2], 1.0f);
        EXPECT_FLOAT_EQ(c[3], 0.015f);
        for (GLenum array : {GL_VERTEX_ARRAY, GL_COLOR_ARRAY, GL_TEXTURE_COORD_ARRAY, GL_NORMAL_ARRAY})
            EXPECT_FALSE(enabled(array)) << t;
    }
  }
}

TEST_F(ContentTest, FrameLeavesTheLastLayersState) {
  for (content::RenderPath path : kPaths) {
    SCOPED_TRACE(content::renderPathName(path));
    auto content = load({}, path);
    drawFrameAt(*content, 100.0f);
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 104, 640, 272}));
    EXPECT_TRUE(enabled(GL_BLEND));
    EXPECT_EQ(integer(GL_BLEND_SRC), GL_SRC_ALPHA);
    EXPECT_EQ(integer(GL_BLEND_DST), GL_ONE);
    EXPECT_FALSE(enabled(GL_DEPTH_TEST));
    EXPECT_EQ(integer(GL_DEPTH_WRITEMASK), GL_FALSE);
    EXPECT_TRUE(enabled(GL_FOG));  // never switched off
    EXPECT_FLOAT_EQ(colour()[3], content::logoAlpha(content::sceneTime(msAt(100.0f))));
    EXPECT_EQ(integer(GL_DEPTH_FUNC), GL_LESS);
    // The logo's alpha is negative at t = 120: the fast path sets its state without drawing it.
    drawFrameAt(*content, 120.0f);
    EXPECT_FLOAT_EQ(colour()[3], content::logoAlpha(content::sceneTime(msAt(120.0f))));
    EXPECT_LT(colour()[3], 0.0f);
    EXPECT_EQ(static_cast<GLuint>(integer(GL_TEXTURE_BINDING_2D)), content->logoTexture->glName);
    EXPECT_TRUE(enabled(GL_TEXTURE_2D));
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 104, 640, 272}));
  }
}

// Share of band pixels (sampled every 8 pixels) for which pred holds.
template <typename Pred>
double bandShare(Pred pred) {
    std::vector<unsigned char> rows(640 * 272 * 4);
    glReadPixels(0, 104, 640, 272, GL_RGBA, GL_UNSIGNED_BYTE, rows.data());
    int hits = 0, total = 0;
    for (int y = 0; y < 272; y += 8)
        for (int x = 0; x < 640; x += 8, ++total) {
            const unsigned char* p = &rows[(y * 640 + x) * 4];
            if (pred(Rgb{p[0], p[1], p[2]})) ++hits;
        }
    return static_cast<double>(hits) / total;
}

bool barsAreBlack() {
    std::vector<unsigned char> rows(640 * 104 * 4);
    for (int bottom : {0, 376}) {
        glReadPixels(0, bottom, 640, 104, GL_RGBA, GL_UNSIGNED_BYTE, rows.data());
        for (std::size_t k = 0; k < rows.size(); k += 4)
            if (rows[k] || rows[k + 1] || rows[k + 2]) return false;
    }
    return true;
}

TEST_F(ContentTest, WholeFramesAlongTheTimeline) {
    auto content = load();
    auto dark = [](Rgb p) { return p[0] < 8 && p[1] < 8 && p[2] < 8; };
    auto white = [](Rgb p) { return p[0] > 250 && p[1] > 250 && p[2] > 250; };
    auto lit = [](Rgb p) { return p[2] > 40; };
    struct Case {
        float t;
        double darkShare, whiteShare, litShare;  // at least (negative: at most its magnitude)
    };
    const Case cases[] = {
        {-1.0f, -1.0, -1.0, -1.0},  // a negative fog end: the bars alone are checked
        {0.3f, 1.0, -0.0, -0.0},    // fog end 0.08: every layer takes the black fog colour
        {0.6f, 1.0, -0.0, -0.0},
        {100.0f, -0.9, -0.0, 0.1},  // the scene shows
        {352.0f, -0.9, -0.0, 0.1},  // the swell's peak
        {550.0f, -0.0, 1.0, 1.0},   // the white section
        {575.0f, -0.0, 1.0, 1.0},
        {606.9f, 0.99, -0.0, -0.0}, // the closing fade is almost black
    };
    for (const Case& c : cases) {
        drawFrameAt(*content, c.t);
        EXPECT_TRUE(barsAreBlack()) << c.t;
        const double shares[] = {bandShare(dark), bandShare(white), bandShare(lit)};
        const double wanted[] = {c.darkShare, c.whiteShare, c.litShare};
        for (int k = 0; k < 3; ++k) {
            if (wanted[k] >= 0)
                EXPECT_GE(shares[k], wanted[k]) << c.t << " measure " << k;
            else
                EXPECT_LE(shares[k], -wanted[k]) << c.t << " measure " << k;
        }
    }
}

// The whole window's pixels, RGBA.
std::vector<unsigned char> windowPixels() {
    std::vector<unsigned char> pixels(640 * 480 * 4);
    glReadPixels(0, 0, 640, 480, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

// The picture gate on the small fixture content (the content pack's frames are gated by the
// picturegate tests): the fast path's frames within 2 levels of the faithful ones, and at most
// 0.1 % of the pixels more than 1 level off.
TEST_F(ContentTest, FastPathDrawsTheFaithfulPicture) {
    const float times[] = {0.3f, 64.0f, 321.0f, 368.0f, 560.0f};
    std::vector<std::vector<unsigned char>> faithful;
    {
        auto content = load({}, content::RenderPath::Faithful);
        for (float t : times) {
            drawFrameAt(*content, t);
            faithful.push_back(windowPixels());
        }
    }
    auto content = load({}, content::RenderPath::Fast);
    for (std::size_t k = 0; k < std::size(times); ++k) {
        drawFrameAt(*content, times[k]);
        const std::vector<unsigned char> fast = windowPixels();
        int largest = 0, overOne = 0;
        for (std::size_t p = 0; p < fast.size(); p += 4) {
            int worst = 0;
            for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(fast[p + c] - faithful[k][p + c]));
            largest = std::max(largest, worst);
            overOne += worst > 1;
        }
        EXPECT_LE(largest, 2) << times[k];
        EXPECT_LE(overOne, 640 * 480 / 1000) << times[k];
    }
}

// The star sphere's pixels and depths, bit for bit the same on both paths: the fast path only
// replays the sphere from its display list.
TEST_F(ContentTest, StarSphereIsTheSameOnBothPaths) {
    // Opening (negative fog end), plain, swell peak, white section, after the sphere's end.
    const float times[] = {0.3f, 200.0f, 352.0f, 560.0f, 590.0f};
    auto drawn = [&](content::RenderPath path) {
        auto content = load({}, path);
        std::vector<std::vector<unsigned char>> pixels;
        for (float t : times) {
            glViewport(0, 0, 512, 256);
            content->drawStarSphere(msAt(t));
            expectNoGlError("drawStarSphere");
            std::vector<unsigned char> p(512 * 256 * 8);
            glReadPixels(0, 0, 512, 256, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
            glReadPixels(0, 0, 512, 256, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, p.data() + 512 * 256 * 4);
            pixels.push_back(std::move(p));
        }
        return pixels;
    };
    const auto faithful = drawn(content::RenderPath::Faithful);
    const auto fast = drawn(content::RenderPath::Fast);
    for (std::size_t k = 0; k < std::size(times); ++k) EXPECT_TRUE(fast[k] == faithful[k]) << times[k];
    EXPECT_FALSE(faithful[1] == faithful[4]);  // the sphere is drawn at t = 200 (not just cleared)
}

// The core scene over the star sphere, bit for bit the same on every path: the fast paths send
// the particle swarm as one batch whose vertices must land where the GL's own matrix calls put
// them (an edge one unit in the last place off moves a particle's rim by a pixel, a texture
// coordinate a unit off shifts a sample) and whose fog coordinates must be the eye distances the
// GL would fog them by. The scene's other pictures are pure blue, so with grey particles red and
// green come from the swarm alone; the particle is fine diagonal ramps, so that every sample
// shows. The star sphere's fog hardly touches the swarm: a thick grey fog over the swarm's depth
// shows a fog coordinate off.
TEST_F(ContentTest, CoreSceneIsTheSameOnEveryPath) {
    struct Case {
        const char* name;
        float fogEnd;  // a grey fog from eye distance 1 to this one; 0: the star sphere's
        std::vector<int> times;
    };
    // Plain, burst 1, the swell (two frames), mirrored (h < 0), the breakdown; in the thick fog
    // a plain and two swell frames.
    const Case cases[] = {{"star sphere's fog", 0.0f, {82800, 107000, 110000, 113500, 145700, 200000}},
                          {"thick fog", 300.0f, {82800, 107000, 113500}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto drawn = [&](content::RenderPath path, bool ramps) {
            return coreScenes(path, ramps, c.times, {{0.4f, 0.4f, 0.4f, 0.0f}, c.fogEnd});
        };
        const auto faithful = drawn(content::RenderPath::Faithful, true);
        for (content::RenderPath path : {content::RenderPath::Fast, content::RenderPath::FastFixedFunction}) {
            SCOPED_TRACE(content::renderPathName(path));
            const auto fast = drawn(path, true);
            for (std::size_t k = 0; k < c.times.size(); ++k) {
                int off = 0;
                for (std::size_t i = 0; i < fast[k].size(); ++i) off += fast[k][i] != faithful[k][i];
                EXPECT_EQ(off, 0) << "components off at music time " << c.times[k];
            }
        }
        // The swarm is in every one of these pictures.
        const auto dark = drawn(content::RenderPath::Faithful, false);
        for (std::size_t k = 0; k < c.times.size(); ++k) EXPECT_FALSE(faithful[k] == dark[k]) << c.times[k];
    }
}

// Under a black linear fog the fast paths fold the fog into the colours of the swarm's particles
// whose corners all lie inside its range and draw them with the GL's fog off; a particle with a
// corner nearer than the fog's start or beyond its end keeps the GL's fog. The picture is the
// GL's fog's within a level either way. A thick fog from 1 to 300 holds the whole swarm of the
// plain frame, part of the swell's lies nearer than 1; ends of 280 and 40 leave part of the
// swarm beyond them.
TEST_F(ContentTest, SwarmWithTheFogFoldedIntoItsColoursIsWithinALevelOfTheGlsFog) {
    struct Case {
        float fogEnd;
        std::vector<int> times;
    };
    const Case cases[] = {{300.0f, {82800, 107000, 113500}}, {280.0f, {82800}}, {40.0f, {107000, 113500}}};
    const std::array<float, 4> black{0.0f, 0.0f, 0.0f, 1.0f};
    for (const Case& c : cases) {
        SCOPED_TRACE("fog end " + std::to_string(c.fogEnd));
        const auto faithful = coreScenes(content::RenderPath::Faithful, true, c.times, {black, c.fogEnd});
        for (content::RenderPath path : {content::RenderPath::Fast, content::RenderPath::FastFixedFunction}) {
            SCOPED_TRACE(content::renderPathName(path));
            const auto fast = coreScenes(path, true, c.times, {black, c.fogEnd});
            for (std::size_t k = 0; k < c.times.size(); ++k) {
                int worst = 0;
                for (std::size_t i = 0; i < fast[k].size(); ++i)
                    worst = std::max(worst, std::abs(fast[k][i] - faithful[k][i]));
                EXPECT_LE(worst, 1) << "music time " << c.times[k];
            }
        }
        // The swarm is in every one of these pictures.
        const auto dark = coreScenes(content::RenderPath::Faithful, false, c.times, {black, c.fogEnd});
        for (std::size_t k = 0; k < c.times.size(); ++k) EXPECT_FALSE(faithful[k] == dark[k]) << c.times[k];
    }
}

// A working area with detail in every texel: ramps and fine stripes, drawn over the scenes.
void drawDetailedWorkingArea() {
    std::vector<unsigned char> pattern(512 * 256 * 4);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 512; ++x) {
            unsigned char* p = &pattern[(y * 512 + x) * 4];
            p[0] = static_cast<unsigned char>((x + 3 * y) % 256);
            p[1] = static_cast<unsigned char>((x * 11) % 256);
            p[2] = static_cast<unsigned char>((y * 29 + x / 7) % 256);
            p[3] = 255;
        }
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    for (GLenum cap : {GL_TEXTURE_2D, GL_FOG, GL_BLEND, GL_DEPTH_TEST}) glDisable(cap);
    glWindowPos2i(0, 0);
    glDrawPixels(512, 256, GL_RGBA, GL_UNSIGNED_BYTE, pattern.data());
    glPopAttrib();
}

// After the core scene has ended, the working area (scenes, flash and swell layers) and every
// glow level are bit for bit the same on both paths: the clears and the layers the fast path
// leaves out change no pixel that is read. With a detailed working area in place of the scenes
// (the last case), the glow chain alone is compared.
TEST_F(ContentTest, WorkingAreaAndGlowChainAreTheSameOnBothPathsAfterTheScenes) {
    // The swell layer's alpha tiny but above 0 at 580 and 600.
    const float times[] = {580.0f, 600.0f, 200.0f};
    const float detailedAt = 200.0f;
    auto drawn = [&](content::RenderPath path) {
        auto content = load({}, path);
        std::vector<std::vector<unsigned char>> passes;
        float t = 0;
        content->passDone = [&](int pass) {
            if (pass == 1) {
                if (t == detailedAt) drawDetailedWorkingArea();
                std::vector<unsigned char> p(512 * 256 * 4);
                glReadPixels(0, 0, 512, 256, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
                passes.push_back(std::move(p));
            } else if (pass == 2) {
                for (const auto& level : content->glowLevels) {
                    std::vector<unsigned char> p(static_cast<std::size_t>(level->width) * level->height * 4);
                    level->bind();
                    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
                    passes.push_back(std::move(p));
                }
            }
        };
        for (float time : times) {
            t = time;
            drawFrameAt(*content, t);
        }
        return passes;
    };
    const auto faithful = drawn(content::RenderPath::Faithful);
    const auto fast = drawn(content::RenderPath::Fast);
    ASSERT_EQ(faithful.size(), std::size(times) * (1 + DemoContent::kGlowLevelCount));
    ASSERT_EQ(fast.size(), faithful.size());
    for (std::size_t k = 0; k < faithful.size(); ++k) EXPECT_TRUE(fast[k] == faithful[k]) << "image " << k;
    for (float t : {580.0f, 600.0f}) EXPECT_GT(content::swell(content::sceneTime(msAt(t))), 0.0f) << t;
    // The detailed working area reaches the smallest filled level (4 x 4) unevenly.
    const std::vector<unsigned char>& smallest = faithful[faithful.size() - 2];
    EXPECT_NE(*std::min_element(smallest.begin(), smallest.end()), *std::max_element(smallest.begin(), smallest.end()));
}

TEST_F(ContentTest, LogoAndCreditsStrips) {
    auto content = load();
    // The logo strip spans x 64..576 and rows 222..258, the credits strip 64 units lower.
    auto redness = [] {
        const Rgb p = pixelAt(320, 240);
        return p[0] - p[1];
    };
    auto greenness = [] {
        const Rgb p = pixelAt(320, 203);
        return p[1] - p[0];
    };
    drawFrameAt(*content, 64.0f);
    EXPECT_GT(redness(), 200);
    EXPECT_EQ(pixelAt(40, 240)[0], 0);  // beside the strip
    drawFrameAt(*content, 200.0f);
    EXPECT_EQ(redness(), 0);
    drawFrameAt(*content, 512.0f);
    EXPECT_GT(greenness(), 150);
    EXPECT_GT(redness(), 150);
    drawFrameAt(*content, 470.0f);
    EXPECT_LE(greenness(), 0);
}

}  // namespace
