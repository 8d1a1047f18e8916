// The image loaders' textures, the tiled loader's sizes and contents, and the failure reports.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "AssetFixtures.h"
#include "GlReadback.h"
#include "assets/JpegLoader.h"
#include "assets/PngLoader.h"
#include "datafiles/ArchiveWriter.h"
#include "datafiles/DataFile.h"
#include "platform/FatalError.h"
#include "support/GlTestContext.h"

namespace {

using assettest::Bytes;

Bytes levelZero(const assets::Texture& t, GLenum format) { return assettest::textureLevel(t.glName, format); }

class ImageTextureTest : public testsupport::GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        previous = platform::setFatalErrorHandler([this](const std::string& text) { reports.push_back(text); });
    }
    void TearDown() override { platform::setFatalErrorHandler(previous); }

    assettest::ScratchDir dir;
    std::vector<std::string> reports;
    platform::FatalErrorHandler previous;
};

TEST_F(ImageTextureTest, JpegTextureHoldsRgbBytes) {
    assettest::writeSolidJpeg("data/valo.jpg", 32, 16, {30, 20, 10});
    auto t = assets::loadJpegTexture("data\\valo.jpg", 3);
    ASSERT_NE(t, nullptr);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(t->width, 32);
    EXPECT_EQ(t->height, 16);
    EXPECT_EQ(t->format, static_cast<GLenum>(GL_RGB));
    EXPECT_TRUE(t->mipmapped);
    const Bytes level = levelZero(*t, GL_RGB);
    EXPECT_NEAR(level[0], 30, 2);
    EXPECT_NEAR(level[1], 20, 2);
    EXPECT_NEAR(level[2], 10, 2);
}

// Pictures come from the file system only: one present only in the data archive fails too.
TEST_F(ImageTextureTest, FailedLoadsReportPathAndGiveNull) {
    assettest::writeSolidJpeg("fire.jpg", 8, 8, {200, 100, 0});
    std::ifstream picture("fire.jpg", std::ios::binary);
    datafiles::ArchiveOptions options;
    options.passPhrase = datafiles::kDataArchivePassPhrase;
    datafiles::ArchiveWriter archive(options);
    archive.addMember("fire.jpg", Bytes(std::istreambuf_iterator<char>(picture), {}));
    ASSERT_TRUE(archive.finishToFile(datafiles::kDataArchivePath));
    assettest::writeFile("data/broken.jpg", Bytes{0xff, 0xd8, 0xff});
    assettest::writeFile("data/broken.png", Bytes{0x89, 'P', 'N', 'G'});
    EXPECT_EQ(assets::loadJpegTexture("data\\fire.jpg", 3), nullptr);
    EXPECT_EQ(assets::loadJpegTexture("data\\broken.jpg", 3), nullptr);
    EXPECT_EQ(assets::loadPngTexture("data\\fire.png", 3), nullptr);
    EXPECT_EQ(assets::loadPngTexture("data\\broken.png", 3), nullptr);
    EXPECT_EQ(assets::loadJpegTextureTiled("data\\fire.jpg", 3), nullptr);
    EXPECT_EQ(reports, (std::vector<std::string>{"data\\fire.jpg error loading jpeg.", "data\\broken.jpg error loading jpeg.",
                                                 "data\\fire.png error loading png.", "data\\broken.png error loading png."}))
        << "the tiled loader reports nothing";
}

// A PNG that breaks after its header gives no texture at all, never one of undefined pixels.
TEST_F(ImageTextureTest, PngBrokenAfterHeaderIsReported) {
    assettest::PngSpec spec;
    spec.width = 32;
    spec.height = 32;
    spec.rows.assign(32 * 32 * 3, 0);
    for (std::size_t i = 0; i < spec.rows.size(); ++i) spec.rows[i] = static_cast<uint8_t>(i * 37);
    assettest::writePng("cut.png", spec);
    std::ifstream in("cut.png", std::ios::binary);
    const Bytes whole{std::istreambuf_iterator<char>(in), {}};
    assettest::writeFile("cut.png", Bytes(whole.begin(), whole.end() - 40));
    EXPECT_EQ(assets::loadPngTexture("cut.png", 1), nullptr);
    EXPECT_EQ(reports, std::vector<std::string>{"cut.png error loading png."});
}

TEST_F(ImageTextureTest, PngTextureIsRgba) {
    assettest::PngSpec spec;
    spec.width = 3;
    spec.colourType = 2;
    spec.rows = {255, 0, 0, 0, 255, 0, 0, 0, 255};
    assettest::writePng("rgb.png", spec);
    auto t = assets::loadPngTexture("rgb.png", 2);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->format, static_cast<GLenum>(GL_RGBA));
    EXPECT_EQ(t->internalFormat, static_cast<GLenum>(GL_RGBA));
    EXPECT_EQ(levelZero(*t, GL_RGBA), (Bytes{255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255}));
}

// Bright pixels in a pattern that differs from column to column and row to row.
void writePatternJpeg(const std::string& path, int width, int height) {
    Bytes pixels(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &pixels[(static_cast<std::size_t>(y) * width + x) * 3];
            p[0] = static_cast<uint8_t>(128 + (x * 5) % 128);
            p[1] = static_cast<uint8_t>((y * 3) % 256);
            p[2] = static_cast<uint8_t>((x * y) % 256);
        }
    }
    assettest::writeJpeg(path, width, height, 3, pixels);
}

TEST_F(ImageTextureTest, TiledLoaderRepeatsOrCutsToPowersOfTwo) {
    const struct {
        int width, height;
        int tiledWidth, tiledHeight;  // 0: rejected
    } cases[] = {
        {100, 50, 128, 64}, {40, 300, 64, 512}, {640, 480, 512, 512}, {30, 30, 0, 0}, {64, 32, 0, 0}, {33, 33, 64, 64},
    };
    for (const auto& c : cases) {
        const std::string name = "tile" + std::to_string(c.width) + "x" + std::to_string(c.height) + ".jpg";
        writePatternJpeg(name, c.width, c.height);
        auto t = assets::loadJpegTextureTiled(name, 1);
        if (c.tiledWidth == 0) {
            EXPECT_EQ(t, nullptr) << name;
            continue;
        }
        ASSERT_NE(t, nullptr) << name;
        EXPECT_EQ(t->width, c.tiledWidth) << name;
        EXPECT_EQ(t->height, c.tiledHeight) << name;
        // Texel (l, k) is picture pixel (l mod width, k mod height) of the decoded picture.
        int w = 0, h = 0;
        std::unique_ptr<unsigned char[]> picture;
        ASSERT_EQ(assets::decodeJpegFile(name.c_str(), w, h, picture), 1);
        const Bytes level = levelZero(*t, GL_RGB);
        int mismatches = 0;
        for (int k = 0; k < t->height; ++k) {
            for (int l = 0; l < t->width; ++l) {
                const unsigned char* s = &picture[(static_cast<std::size_t>(k % h) * w + l % w) * 3];
                const unsigned char* d = &level[(static_cast<std::size_t>(k) * t->width + l) * 3];
                if (s[0] != d[0] || s[1] != d[1] || s[2] != d[2]) ++mismatches;
            }
        }
        EXPECT_EQ(mismatches, 0) << name;
    }
    EXPECT_TRUE(reports.empty());
}

// Only red and blue count as bright: a green picture is "almost black".
TEST_F(ImageTextureTest, TiledLoaderRejectsDarkPictures) {
    assettest::writeSolidJpeg("green.jpg", 128, 128, {20, 250, 20});
    EXPECT_EQ(assets::loadJpegTextureTiled("green.jpg", 3), nullptr);
    assettest::writeSolidJpeg("blue.jpg", 128, 128, {20, 20, 250});
    EXPECT_NE(assets::loadJpegTextureTiled("blue.jpg", 3), nullptr);
}

}  // namespace
