// Texture parameters, GL state and contents, read back with glGet*.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "GlReadback.h"
#include "assets/Texture.h"
#include "support/GlTestContext.h"

namespace {

using assets::Texture;
using Bytes = std::vector<unsigned char>;

GLint boundTexture() {
    GLint name = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
    return name;
}

GLint parameter(const Texture& t, GLenum which) { return assettest::textureParameter(t.glName, which); }

GLint levelParameter(const Texture& t, GLint level, GLenum which) {
    return assettest::textureLevelParameter(t.glName, level, which);
}

Bytes levelZero(const Texture& t, GLenum format) { return assettest::textureLevel(t.glName, format); }

std::unique_ptr<Texture> imageTexture(int width, int height, int bitsPerPixel, int filterQuality, unsigned char fill = 0) {
    const std::size_t bytes = static_cast<std::size_t>(width) * height * (bitsPerPixel == 32 ? 4 : 3);
    std::unique_ptr<unsigned char[]> pixels(new unsigned char[bytes]);
    for (std::size_t i = 0; i < bytes; ++i) pixels[i] = static_cast<unsigned char>(fill + i);
    return std::make_unique<Texture>(std::move(pixels), width, height, bitsPerPixel, filterQuality);
}

class TextureTest : public testsupport::GlTest {};

TEST_F(TextureTest, ImageFormatFollowsBitsPerPixel) {
    const struct {
        int bits;
        GLenum format;
    } cases[] = {{24, GL_RGB}, {32, GL_RGBA}, {16, GL_RGB}};
    for (const auto& c : cases) {
        auto t = imageTexture(4, 4, c.bits, 1);
        EXPECT_EQ(t->format, c.format) << c.bits;
        EXPECT_EQ(t->internalFormat, c.format) << c.bits;
        EXPECT_EQ(levelParameter(*t, 0, GL_TEXTURE_INTERNAL_FORMAT), static_cast<GLint>(c.format)) << c.bits;
    }
    expectNoGlError("image textures");
}

TEST_F(TextureTest, FilterQualitySelectsSampling) {
    const struct {
        int quality;
        GLint minFilter;
        GLint magFilter;
        bool mipmaps;
    } cases[] = {
        {0, GL_NEAREST, GL_NEAREST, false}, {1, GL_NEAREST, GL_NEAREST, false}, {2, GL_LINEAR, GL_LINEAR, false},
        {3, GL_LINEAR_MIPMAP_NEAREST, GL_LINEAR, true}, {7, GL_LINEAR_MIPMAP_NEAREST, GL_LINEAR, true},
    };
    for (const auto& c : cases) {
        auto t = imageTexture(16, 8, 24, c.quality);
        EXPECT_TRUE(t->uploaded);
        EXPECT_EQ(t->mipmapped, c.mipmaps) << c.quality;
        EXPECT_EQ(parameter(*t, GL_TEXTURE_MIN_FILTER), c.minFilter) << c.quality;
        EXPECT_EQ(parameter(*t, GL_TEXTURE_MAG_FILTER), c.magFilter) << c.quality;
        EXPECT_EQ(parameter(*t, GL_TEXTURE_WRAP_S), GL_REPEAT) << c.quality;
        EXPECT_EQ(parameter(*t, GL_TEXTURE_WRAP_T), GL_REPEAT) << c.quality;
        // GLU builds the whole chain down to 1 x 1 only when mipmapped.
        EXPECT_EQ(levelParameter(*t, 4, GL_TEXTURE_WIDTH), c.mipmaps ? 1 : 0) << c.quality;
    }
    expectNoGlError("filter qualities");
}

// Rows whose byte length is not a multiple of four arrive unskewed.
TEST_F(TextureTest, OddWidthRgbRowsUploadTightlyPacked) {
    auto t = imageTexture(5, 3, 24, 1, 7);
    const Bytes stored(t->pixels.get(), t->pixels.get() + 5 * 3 * 3);
    EXPECT_EQ(levelZero(*t, GL_RGB), stored);
}

TEST_F(TextureTest, RenderTargetIsBlackLinearRepeatingAndUnmipmapped) {
    glEnable(GL_TEXTURE_2D);
    Texture target(512, 256);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << "a new texture leaves 2D texturing disabled";
    EXPECT_EQ(boundTexture(), static_cast<GLint>(target.glName)) << "and itself bound";
    EXPECT_TRUE(target.uploaded);
    EXPECT_FALSE(target.mipmapped);
    EXPECT_EQ(target.format, static_cast<GLenum>(GL_RGBA));
    EXPECT_EQ(target.internalFormat, static_cast<GLenum>(GL_RGB));
    EXPECT_EQ(levelParameter(target, 0, GL_TEXTURE_INTERNAL_FORMAT), GL_RGB);
    EXPECT_EQ(parameter(target, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(parameter(target, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(parameter(target, GL_TEXTURE_WRAP_S), GL_REPEAT);
    const Bytes level = levelZero(target, GL_RGB);
    EXPECT_EQ(level, Bytes(level.size(), 0));
    expectNoGlError("render target");
}

TEST_F(TextureTest, BindEnablesOnlyUploadedTextures) {
    Texture unuploaded(3);
    EXPECT_EQ(unuploaded.width, 8);
    EXPECT_FALSE(unuploaded.uploaded);
    Texture target(8, 8);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, target.glName);
    unuploaded.bind();
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(boundTexture(), static_cast<GLint>(target.glName)) << "nothing is bound";

    std::fill(unuploaded.pixels.get(), unuploaded.pixels.get() + 8 * 8 * 4, 0x55);
    unuploaded.upload();
    unuploaded.bind();
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(boundTexture(), static_cast<GLint>(unuploaded.glName));
    EXPECT_EQ(parameter(unuploaded, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_NEAREST);
}

TEST_F(TextureTest, SetRepeatFalseClampsAtOnceTrueWaitsForApplyParameters) {
    Texture t(16, 16);
    t.setRepeat(false);
    EXPECT_EQ(parameter(t, GL_TEXTURE_WRAP_S), GL_CLAMP);
    EXPECT_EQ(parameter(t, GL_TEXTURE_WRAP_T), GL_CLAMP);
    t.setRepeat(true);
    EXPECT_TRUE(t.repeatWrap);
    EXPECT_EQ(parameter(t, GL_TEXTURE_WRAP_S), GL_CLAMP);
    t.applyParameters();
    EXPECT_EQ(parameter(t, GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(parameter(t, GL_TEXTURE_WRAP_T), GL_REPEAT);
}

TEST_F(TextureTest, ScaleBrightnessScalesEveryByteWithoutSaturation) {
    auto rgb = imageTexture(2, 1, 24, 1);
    std::fill(rgb->pixels.get(), rgb->pixels.get() + 6, 255);
    rgb->scaleBrightness(0.5f);
    EXPECT_EQ(levelZero(*rgb, GL_RGB), Bytes(6, 127));

    auto rgba = imageTexture(1, 1, 32, 1);
    const Bytes before = {200, 100, 10, 255};
    std::copy(before.begin(), before.end(), rgba->pixels.get());
    rgba->scaleBrightness(0.5f);
    EXPECT_EQ(levelZero(*rgba, GL_RGBA), (Bytes{100, 50, 5, 127})) << "alpha is halved too";
    rgba->scaleBrightness(2.0f);  // k = 512: 127 * 2 = 254, 100 * 2 = 200
    rgba->scaleBrightness(2.0f);  // 200 * 2 = 400 wraps to 144
    EXPECT_EQ(levelZero(*rgba, GL_RGBA), (Bytes{144, 200, 20, 252}));
}

// A frame buffer whose pixel (x, y) holds (x mod 256, y mod 256, x / 256 + 16 * (y / 256)).
class FrameBufferCopyTest : public TextureTest {
protected:
    void SetUp() override {
        TextureTest::SetUp();
        if (HasFatalFailure()) return;
        Bytes pattern(640 * 480 * 3);
        for (int y = 0; y < 480; ++y) {
            for (int x = 0; x < 640; ++x) {
                unsigned char* p = &pattern[(y * 640 + x) * 3];
                p[0] = static_cast<unsigned char>(x & 255);
                p[1] = static_cast<unsigned char>(y & 255);
                p[2] = static_cast<unsigned char>((x >> 8) + 16 * (y >> 8));
            }
        }
        glViewport(0, 0, 640, 480);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_FOG);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_BLEND);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glDrawBuffer(GL_BACK);
        glReadBuffer(GL_BACK);
        glRasterPos2f(-1.0f, -1.0f);
        glDrawPixels(640, 480, GL_RGB, GL_UNSIGNED_BYTE, pattern.data());
        expectNoGlError("pattern");
    }
    // Texel (i, j) of t must hold the pattern pixel (x0 + i, y0 + j) inside the w x h corner.
    static void expectCopied(const Texture& t, int x0, int y0, int w, int h) {
        const Bytes level = levelZero(t, GL_RGB);
        int mismatches = 0;
        for (int j = 0; j < h; ++j) {
            for (int i = 0; i < w; ++i) {
                const unsigned char* p = &level[(static_cast<std::size_t>(j) * t.width + i) * 3];
                const int x = x0 + i, y = y0 + j;
                if (p[0] != (x & 255) || p[1] != (y & 255) || p[2] != (x >> 8) + 16 * (y >> 8)) ++mismatches;
            }
        }
        EXPECT_EQ(mismatches, 0) << "texels differing from the frame buffer rectangle at (" << x0 << ", " << y0 << ")";
    }
};

TEST_F(FrameBufferCopyTest, CentredCopyTakesRectangleAroundCentre) {
    Texture square(256, 256);
    square.copyFromFrameBufferCentred(320, 240);
    expectCopied(square, 192, 112, 256, 256);
    Texture odd(255, 16);
    odd.copyFromFrameBufferCentred(320, 240);
    expectCopied(odd, 193, 232, 255, 16);
    expectNoGlError("centred copies");
}

TEST_F(FrameBufferCopyTest, CopiesTakeTheLowerLeftCorner) {
    Texture whole(64, 32);
    whole.copyFromFrameBuffer();
    expectCopied(whole, 0, 0, 64, 32);
    Texture part(64, 64);
    part.copyFromFrameBuffer(10, 20);
    expectCopied(part, 0, 0, 10, 20);
    const Bytes level = levelZero(part, GL_RGB);
    EXPECT_EQ(level[(20 * 64 + 0) * 3 + 1], 0) << "row 20 lies outside the copied region";
}

TEST_F(FrameBufferCopyTest, CopyIntoMipmappedTextureTurnsMipmappingOff) {
    auto t = imageTexture(32, 32, 32, 3);
    ASSERT_EQ(parameter(*t, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_NEAREST);
    t->copyFromFrameBuffer();
    EXPECT_FALSE(t->mipmapped);
    EXPECT_EQ(parameter(*t, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    expectCopied(*t, 0, 0, 32, 32);
}

}  // namespace
