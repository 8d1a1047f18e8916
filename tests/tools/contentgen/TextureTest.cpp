// The pack's textures: decodable at their power-of-two sizes, black where an additive sprite
// must fade out, seamless where the scenes repeat them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "TextRenderer.h"
#include "Textures.h"
#include "assets/AssetFixtures.h"
#include "assets/JpegLoader.h"

namespace {

// The text strips load fontconfig's configuration; release it when the tests are done.
class ReleaseFonts : public ::testing::Environment {
public:
    void TearDown() override { contentgen::releaseFonts(); }
};
::testing::Environment* const releaseFonts = ::testing::AddGlobalTestEnvironment(new ReleaseFonts);

struct Decoded {
    int width = 0, height = 0;
    std::unique_ptr<unsigned char[]> pixels;
    int at(int x, int y, int c) const { return pixels[(static_cast<size_t>(y) * width + x) * 3 + c]; }
    int brightest(int x, int y) const { return std::max({at(x, y, 0), at(x, y, 1), at(x, y, 2)}); }
};

// Each texture painted, encoded and decoded once through the program's own JPEG decoder.
const std::map<std::string, Decoded>& decodedPack() {
    static const std::map<std::string, Decoded> pack = [] {
        assettest::ScratchDir scratch;
        std::map<std::string, Decoded> out;
        for (const contentgen::TextureSpec& spec : contentgen::textureSpecs()) {
            const std::string path = std::string("data/") + spec.fileName;
            assettest::writeFile(path, contentgen::makeTextureJpeg(spec));
            Decoded d;
            EXPECT_EQ(assets::decodeJpegFile(path.c_str(), d.width, d.height, d.pixels), 1) << path;
            out[spec.fileName] = std::move(d);
        }
        return out;
    }();
    return pack;
}

bool isPowerOfTwo(int v) { return v > 0 && (v & (v - 1)) == 0; }

TEST(PackTextures, EveryFileDecodesAtItsPowerOfTwoSize) {
    const auto& pack = decodedPack();
    ASSERT_EQ(pack.size(), 12u);
    for (const contentgen::TextureSpec& spec : contentgen::textureSpecs()) {
        const Decoded& d = pack.at(spec.fileName);
        EXPECT_EQ(d.width, spec.width) << spec.fileName;
        EXPECT_EQ(d.height, spec.height) << spec.fileName;
        EXPECT_TRUE(isPowerOfTwo(d.width) && isPowerOfTwo(d.height)) << spec.fileName;
        // Not blank (the dark smoke is faint by design).
        int peak = 0;
        for (int y = 0; y < d.height; ++y)
            for (int x = 0; x < d.width; ++x) peak = std::max(peak, d.brightest(x, y));
        EXPECT_GT(peak, 40) << spec.fileName;
    }
    // The logo and the credits are 8:1 strips.
    for (const char* strip : {"vorthlogo2b.jpg", "vorthcredits.jpg"})
        EXPECT_EQ(pack.at(strip).width, 8 * pack.at(strip).height) << strip;
}

// Sprites and layers are added to the picture: their quads' borders must add nothing.
TEST(PackTextures, AdditiveSpritesAreBlackAlongEveryEdge) {
    const char* sprites[] = {"valo2c.jpg",   "darkpart.jpg",    "fire2d2b.jpg",   "firetwirlb2.jpg",
                             "parti1.jpg",   "blueshift.jpg",   "roti_2.jpg",     "vorthlogo2b.jpg",
                             "vorthcredits.jpg"};
    for (const char* name : sprites) {
        const Decoded& d = decodedPack().at(name);
        int edge = 0;
        for (int x = 0; x < d.width; ++x) edge = std::max({edge, d.brightest(x, 0), d.brightest(x, d.height - 1)});
        for (int y = 0; y < d.height; ++y) edge = std::max({edge, d.brightest(0, y), d.brightest(d.width - 1, y)});
        EXPECT_LE(edge, 8) << name;
    }
}

// Mean absolute difference between column a and column b (or rows when `rows`).
double lineDifference(const Decoded& d, int a, int b, bool rows) {
    const int n = rows ? d.width : d.height;
    double sum = 0.0;
    for (int i = 0; i < n; ++i)
        for (int c = 0; c < 3; ++c)
            sum += rows ? std::abs(d.at(i, a, c) - d.at(i, b, c)) : std::abs(d.at(a, i, c) - d.at(b, i, c));
    return sum / (3.0 * n);
}

// The wrap from the last line to the first is no bigger a step than those between neighbouring
// lines inside the picture (a seam between unrelated lines would stand far above them).
void expectSeamless(const Decoded& d, bool rows, const char* name) {
    const int lines = rows ? d.height : d.width;
    double steepest = 0.0;
    for (int i = 1; i < lines; ++i) steepest = std::max(steepest, lineDifference(d, i - 1, i, rows));
    EXPECT_LE(lineDifference(d, lines - 1, 0, rows), 1.1 * steepest) << name << (rows ? " rows" : " columns");
}

TEST(PackTextures, RepeatedTexturesWrapWithoutSeams) {
    expectSeamless(decodedPack().at("valo4.jpg"), false, "valo4.jpg");
    expectSeamless(decodedPack().at("valo4.jpg"), true, "valo4.jpg");
    expectSeamless(decodedPack().at("stars4.jpg"), false, "stars4.jpg");
}

TEST(PackTextures, SameBytesOnEveryRun) {
    for (const char* name : {"stars4.jpg", "vorthlogo2b.jpg"}) {
        const auto& specs = contentgen::textureSpecs();
        const auto spec = std::find_if(specs.begin(), specs.end(),
                                       [&](const contentgen::TextureSpec& s) { return std::string(s.fileName) == name; });
        ASSERT_NE(spec, specs.end());
        EXPECT_EQ(contentgen::makeTextureJpeg(*spec), contentgen::makeTextureJpeg(*spec)) << name;
    }
}

}  // namespace
