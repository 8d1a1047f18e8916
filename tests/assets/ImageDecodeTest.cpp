// JPEG and PNG decoding into tightly packed pixels (no GL needed).
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "AssetFixtures.h"
#include "assets/JpegLoader.h"
#include "assets/PngLoader.h"

namespace {

using assettest::Bytes;
using assettest::PngSpec;

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// The colour value libpng delivers for a file sample v with file gamma 0.5 on a 2.2 screen.
int gammaAdjusted(int v) { return static_cast<int>(std::lround(255.0 * std::pow(v / 255.0, 1.0 / 1.1))); }

class ImageDecodeTest : public ::testing::Test {
protected:
    assettest::ScratchDir dir;
};

// --- JPEG ---

TEST_F(ImageDecodeTest, JpegDeliversRgbTopRowFirst) {
    // Top half (30, 20, 10), bottom half (200, 40, 160).
    const int w = 16, h = 16;
    Bytes pixels(w * h * 3);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &pixels[(y * w + x) * 3];
            p[0] = y < 8 ? 30 : 200;
            p[1] = y < 8 ? 20 : 40;
            p[2] = y < 8 ? 10 : 160;
        }
    }
    assettest::writeJpeg("pics/two.jpg", w, h, 3, pixels);
    int width = -1, height = -1;
    std::unique_ptr<unsigned char[]> out;
    ASSERT_EQ(assets::decodeJpegFile("pics\\two.jpg", width, height, out), 1);
    EXPECT_EQ(width, w);
    EXPECT_EQ(height, h);
    ASSERT_NE(out, nullptr);
    const int top[3] = {30, 20, 10};
    const int bottom[3] = {200, 40, 160};
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(out[(2 * w + 3) * 3 + c], top[c], 3) << "channel " << c;
        EXPECT_NEAR(out[(13 * w + 3) * 3 + c], bottom[c], 3) << "channel " << c;
    }
}

TEST_F(ImageDecodeTest, GreyJpegFillsThreeBytesPerPixel) {
    const int w = 8, h = 4;
    Bytes grey(w * h);
    for (int i = 0; i < w * h; ++i) grey[i] = i < w * 2 ? 100 : 220;
    assettest::writeJpeg("grey.jpg", w, h, 1, grey);
    int width = 0, height = 0;
    std::unique_ptr<unsigned char[]> out;
    ASSERT_EQ(assets::decodeJpegFile("grey.jpg", width, height, out), 1);
    ASSERT_EQ(width * height, w * h);
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(out[c], 100, 2);
        EXPECT_NEAR(out[(w * h - 1) * 3 + c], 220, 2);
    }
}

// A four-channel (CMYK) JPEG is refused rather than decoded into wrong colours.
TEST_F(ImageDecodeTest, CmykJpegIsRefused) {
    assettest::writeJpeg("cmyk.jpg", 8, 8, 4, Bytes(8 * 8 * 4, 0x40));

    int width = -1, height = -1;
    std::unique_ptr<unsigned char[]> out;
    EXPECT_EQ(assets::decodeJpegFile("cmyk.jpg", width, height, out), 0);
    EXPECT_EQ(out, nullptr);
}

TEST_F(ImageDecodeTest, BadJpegFilesFailWithEmptyResults) {
    assettest::writeSolidJpeg("good.jpg", 64, 64, {90, 90, 90});
    const Bytes good = readFile("good.jpg");
    assettest::writeFile("empty.jpg", {});
    assettest::writeFile("text.jpg", Bytes{'h', 'e', 'l', 'l', 'o'});
    assettest::writeFile("truncated.jpg", Bytes(good.begin(), good.begin() + good.size() / 2));
    assettest::writeFile("headless.jpg", Bytes(good.begin() + 2, good.end()));
    for (const char* name : {"missing.jpg", "empty.jpg", "text.jpg", "truncated.jpg", "headless.jpg"}) {
        int width = -1, height = -1;
        std::unique_ptr<unsigned char[]> out(new unsigned char[4]);
        EXPECT_EQ(assets::decodeJpegFile(name, width, height, out), 0) << name;
        EXPECT_EQ(width, 0) << name;
        EXPECT_EQ(height, 0) << name;
        EXPECT_EQ(out, nullptr) << name;
    }
}

// --- PNG ---

struct DecodedPng {
    bool ok = false;
    int width = -1;
    int height = -1;
    std::unique_ptr<unsigned char[]> pixels;
};

DecodedPng decodePng(const std::string& path) {
    DecodedPng d;
    d.ok = assets::decodePngFile(path.c_str(), d.width, d.height, d.pixels);
    return d;
}

TEST_F(ImageDecodeTest, PalettePngTakesAlphaFromTrns) {
    // One-bit palette, eight pixels 1 0 1 1 0 0 0 0 (most significant bit first, as PNG stores).
    PngSpec spec;
    spec.width = 8;
    spec.colourType = 3;
    spec.bitDepth = 1;
    spec.rows = {0xb0};
    spec.palette = {{255, 0, 0}, {0, 0, 255}};
    spec.transparency = {128, 255};
    assettest::writePng("pal.png", spec);
    const DecodedPng d = decodePng("pal.png");
    ASSERT_TRUE(d.ok);
    ASSERT_EQ(d.width, 8);
    ASSERT_EQ(d.height, 1);
    const int index[8] = {1, 0, 1, 1, 0, 0, 0, 0};
    for (int x = 0; x < 8; ++x) {
        const unsigned char* p = &d.pixels[x * 4];
        const Bytes expected = index[x] ? Bytes{0, 0, 255, 255} : Bytes{255, 0, 0, 128};
        EXPECT_EQ(Bytes(p, p + 4), expected) << "pixel " << x;
    }
}

// Every non-palette colour type ends as R, G, B, A with 8 bits each.
TEST_F(ImageDecodeTest, ColourTypesBecomeRgba) {
    struct Case {
        const char* name;
        int colourType;
        int bitDepth;
        Bytes row;        // one row of two pixels
        Bytes expected;   // the two decoded pixels
    };
    const int g = gammaAdjusted(128);
    const Case cases[] = {
        {"rgb8", 2, 8, {255, 0, 128, 0, 255, 0}, {255, 0, static_cast<uint8_t>(g), 255, 0, 255, 0, 255}},
        {"rgba16", 6, 16, {0xff, 0xff, 0, 0, 0x80, 0x80, 0x40, 0x00, 0, 0, 0xff, 0xff, 0, 0, 0xff, 0xff},
         {255, 0, static_cast<uint8_t>(g), 64, 0, 255, 0, 255}},
        {"grey8", 0, 8, {128, 255}, {static_cast<uint8_t>(g), static_cast<uint8_t>(g), static_cast<uint8_t>(g), 255,
                                      255, 255, 255, 255}},
        {"greyalpha8", 4, 8, {0, 77, 255, 200}, {0, 0, 0, 77, 255, 255, 255, 200}},
        {"grey2", 0, 2, {0x30}, {0, 0, 0, 255, 255, 255, 255, 255}},
    };
    for (const Case& c : cases) {
        PngSpec spec;
        spec.width = 2;
        spec.colourType = c.colourType;
        spec.bitDepth = c.bitDepth;
        spec.rows = c.row;
        const std::string path = std::string(c.name) + ".png";
        assettest::writePng(path, spec);
        const DecodedPng d = decodePng(path);
        ASSERT_TRUE(d.ok) << c.name;
        for (int i = 0; i < 8; ++i) EXPECT_NEAR(d.pixels[i], c.expected[i], 1) << c.name << " byte " << i;
    }
}

TEST_F(ImageDecodeTest, InterlacedPngMatchesProgressive) {
    PngSpec spec;
    spec.width = 13;
    spec.height = 11;
    for (int i = 0; i < spec.width * spec.height; ++i) {
        spec.rows.push_back(static_cast<uint8_t>(i));
        spec.rows.push_back(static_cast<uint8_t>(255 - i));
        spec.rows.push_back(static_cast<uint8_t>(i * 7));
    }
    assettest::writePng("plain.png", spec);
    spec.interlaced = true;
    assettest::writePng("adam7.png", spec);
    const DecodedPng plain = decodePng("plain.png");
    const DecodedPng adam7 = decodePng("adam7.png");
    ASSERT_TRUE(plain.ok);
    ASSERT_TRUE(adam7.ok);
    const std::size_t n = static_cast<std::size_t>(spec.width) * spec.height * 4;
    EXPECT_EQ(Bytes(adam7.pixels.get(), adam7.pixels.get() + n), Bytes(plain.pixels.get(), plain.pixels.get() + n));
}

// Any failure, before or after the header, leaves the caller's width preset: no texture is made
// from a partly decoded picture.
TEST_F(ImageDecodeTest, BadPngFilesLeaveOutputsUntouched) {
    PngSpec spec;
    spec.width = 64;
    spec.height = 64;
    for (int i = 0; i < 64 * 64 * 3; ++i) spec.rows.push_back(static_cast<uint8_t>((i * 131) >> 3));
    assettest::writePng("good.png", spec);
    const Bytes good = readFile("good.png");
    assettest::writeFile("empty.png", {});
    assettest::writeFile("text.png", Bytes{'n', 'o', 't', ' ', 'p', 'n', 'g', '!', '!'});
    assettest::writeFile("header-only.png", Bytes(good.begin(), good.begin() + 40));
    assettest::writeFile("truncated.png", Bytes(good.begin(), good.begin() + good.size() / 2));
    Bytes corrupt = good;
    for (std::size_t i = 60; i < corrupt.size() - 20; i += 97) corrupt[i] ^= 0x5a;
    assettest::writeFile("corrupt.png", corrupt);
    for (const char* name : {"missing.png", "empty.png", "text.png", "header-only.png", "truncated.png", "corrupt.png"}) {
        const DecodedPng d = decodePng(name);
        EXPECT_FALSE(d.ok) << name;
        EXPECT_EQ(d.width, -1) << name;
        EXPECT_EQ(d.pixels, nullptr) << name;
    }
}

}  // namespace
