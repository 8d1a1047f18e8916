// JPEG and PNG decoding into tightly packed pixels (no GL needed).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <string>

#include "AssetFixtures.h"
#include "assets/JpegLoader.h"
#include "assets/PngLoader.h"
#include "datafiles/Crc32.h"

namespace {

using assettest::Bytes;
using assettest::PngSpec;

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// The process's peak address space in bytes (VmPeak): an allocation raises it even when its pages
// are never touched, so a decoder that allocates for a declared size shows here.
std::uint64_t peakAddressSpace() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmPeak:") {
            std::uint64_t kib = 0;
            status >> kib;
            return kib * 1024;
        }
        status.ignore(1 << 12, '\n');
    }
    return 0;
}

// How far the peak address space grows while `work` runs. It runs in a child process, whose peak
// starts at its size when forked, so nothing this process allocated earlier can hide the growth.
// A child that dies reports the largest growth.
std::uint64_t peakGrowthOf(const std::function<void()>& work) {
    std::uint64_t growth = std::numeric_limits<std::uint64_t>::max();
    int channel[2];
    if (::pipe(channel) != 0) return growth;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        const std::uint64_t before = peakAddressSpace();
        work();
        const std::uint64_t measured = peakAddressSpace() - before;
        const bool sent = ::write(channel[1], &measured, sizeof measured) == static_cast<ssize_t>(sizeof measured);
        ::_exit(sent ? 0 : 1);
    }
    ::close(channel[1]);
    std::uint64_t received = 0;
    if (child > 0 && ::read(channel[0], &received, sizeof received) == static_cast<ssize_t>(sizeof received)) {
        growth = received;
    }
    ::close(channel[0]);
    if (child > 0) ::waitpid(child, nullptr, 0);
    return growth;
}

// Far below what the hostile headers below declare, far above what a refusal needs.
constexpr std::uint64_t kRefusalAddressSpace = std::uint64_t{128} << 20;

// Offset of the first JPEG marker 0xFF `code` in `jpeg`, or npos.
std::size_t findMarker(const Bytes& jpeg, std::uint8_t code) {
    for (std::size_t i = 0; i + 1 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xff && jpeg[i + 1] == code) return i;
    }
    return std::string::npos;
}

void putBigEndian32(Bytes& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void storeBigEndian32(std::uint8_t* out, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) out[k] = static_cast<std::uint8_t>(v >> (24 - 8 * k));
}

// A PNG chunk: length, type, data and the CRC-32 of type and data.
Bytes pngChunk(const char type[4], const Bytes& data) {
    Bytes chunk(12 + data.size());
    storeBigEndian32(chunk.data(), static_cast<std::uint32_t>(data.size()));
    for (int k = 0; k < 4; ++k) chunk[4 + k] = static_cast<std::uint8_t>(type[k]);
    std::copy(data.begin(), data.end(), chunk.begin() + 8);
    storeBigEndian32(chunk.data() + 8 + data.size(), datafiles::crc32(chunk.data() + 4, 4 + data.size()));
    return chunk;
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

// Headers declaring pictures far beyond any texture are refused before the decoder or the loader
// allocates the declared size (a 30,000 x 30,000 JPEG would take 2.7 GB), with empty results.
TEST_F(ImageDecodeTest, JpegHugeDeclaredSizeIsRefusedUnallocated) {
    assettest::writeSolidJpeg("small.jpg", 16, 16, {200, 100, 50});
    const Bytes small = readFile("small.jpg");
    const std::size_t sof = findMarker(small, 0xc0);
    ASSERT_NE(sof, std::string::npos);
    struct Case {
        std::uint16_t width, height;
    };
    // Beyond the side, beyond the side on the other axis, within both sides but beyond the area,
    // and the largest a JPEG can declare.
    const Case cases[] = {{30000, 30000}, {16385, 16}, {16, 16385}, {16384, 16384}, {65500, 65500}};
    auto decodeAll = [&](bool check) {
        for (const Case& c : cases) {
            Bytes huge = small;
            // SOF0: marker, length (2), precision (1), height (2), width (2), all big-endian.
            huge[sof + 5] = static_cast<std::uint8_t>(c.height >> 8);
            huge[sof + 6] = static_cast<std::uint8_t>(c.height);
            huge[sof + 7] = static_cast<std::uint8_t>(c.width >> 8);
            huge[sof + 8] = static_cast<std::uint8_t>(c.width);
            assettest::writeFile("huge.jpg", huge);
            int width = -1, height = -1;
            std::unique_ptr<unsigned char[]> out(new unsigned char[4]);
            const int result = assets::decodeJpegFile("huge.jpg", width, height, out);
            if (!check) continue;
            EXPECT_EQ(result, 0) << c.width << " x " << c.height;
            EXPECT_EQ(width, 0);
            EXPECT_EQ(height, 0);
            EXPECT_EQ(out, nullptr);
        }
    };
    EXPECT_LT(peakGrowthOf([&] { decodeAll(false); }), kRefusalAddressSpace);
    decodeAll(true);
}

// Warnings libjpeg fully recovers from (stray bytes before a marker, which other viewers show
// without fuss) decode to the same picture; truncation and damaged scans still fail.
TEST_F(ImageDecodeTest, JpegStrayBytesDecodeTruncationStillFails) {
    const int w = 32, h = 24;
    Bytes rgb(w * h * 3);
    for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<std::uint8_t>((i * 37) ^ (i >> 5));
    assettest::writeJpeg("clean.jpg", w, h, 3, rgb);
    const Bytes clean = readFile("clean.jpg");
    const std::size_t sof = findMarker(clean, 0xc0);
    const std::size_t sos = findMarker(clean, 0xda);
    ASSERT_NE(sof, std::string::npos);
    ASSERT_NE(sos, std::string::npos);
    const std::size_t eoi = clean.size() - 2;
    ASSERT_EQ(findMarker(clean, 0xd9), eoi);
    int cleanWidth = 0, cleanHeight = 0;
    std::unique_ptr<unsigned char[]> cleanPixels;
    ASSERT_EQ(assets::decodeJpegFile("clean.jpg", cleanWidth, cleanHeight, cleanPixels), 1);

    auto withStray = [](Bytes bytes, std::size_t at) {
        bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), {0x12, 0x34});
        return bytes;
    };
    Bytes cutScan = clean;
    const std::size_t middle = sos + (eoi - sos) / 2;
    cutScan[middle] = 0xff;
    cutScan[middle + 1] = 0xd9;
    struct Case {
        const char* name;
        Bytes bytes;
        bool decodes;
    };
    const Case cases[] = {
        {"stray bytes before the frame header", withStray(clean, sof), true},
        {"stray bytes before the scan", withStray(clean, sos), true},
        {"stray bytes before the end marker", withStray(clean, eoi), true},
        {"truncated", Bytes(clean.begin(), clean.begin() + static_cast<std::ptrdiff_t>(middle)), false},
        {"stray bytes and truncated", withStray(Bytes(clean.begin(), clean.begin() + static_cast<std::ptrdiff_t>(middle)), sof), false},
        {"scan cut short by an end marker", cutScan, false},
    };
    for (const Case& c : cases) {
        assettest::writeFile("case.jpg", c.bytes);
        int width = -1, height = -1;
        std::unique_ptr<unsigned char[]> out;
        ASSERT_EQ(assets::decodeJpegFile("case.jpg", width, height, out), c.decodes ? 1 : 0) << c.name;
        if (!c.decodes) {
            EXPECT_EQ(out, nullptr) << c.name;
            continue;
        }
        ASSERT_EQ(width, w) << c.name;
        ASSERT_EQ(height, h) << c.name;
        EXPECT_EQ(Bytes(out.get(), out.get() + rgb.size()), Bytes(cleanPixels.get(), cleanPixels.get() + rgb.size()))
            << c.name;
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

// The bytes of a grey 4 x 4 RGB PNG, written by libpng: signature, IHDR, then the rest.
constexpr std::size_t kAfterPngHeader = 8 + 25;  // signature, IHDR (13 data bytes + 12)
Bytes plainPng() {
    PngSpec spec;
    spec.width = 4;
    spec.height = 4;
    spec.rows = Bytes(4 * 4 * 3, 0x80);
    assettest::writePng("plain.png", spec);
    return readFile("plain.png");
}

// A short file whose text chunk declares 1.6 GB is refused without libpng allocating it; a text
// chunk of ordinary size still decodes.
TEST_F(ImageDecodeTest, PngChunkDeclaringGigabytesIsRefusedUnallocated) {
    const Bytes plain = plainPng();

    Bytes hostile(plain.begin(), plain.begin() + kAfterPngHeader);
    putBigEndian32(hostile, 1600u << 20);
    for (char c : std::string("tEXtComment")) hostile.push_back(static_cast<std::uint8_t>(c));
    hostile.push_back(0);
    hostile.resize(685, 'x');
    assettest::writeFile("hostile.png", hostile);

    Bytes text;
    for (char c : std::string("Comment")) text.push_back(static_cast<std::uint8_t>(c));
    text.push_back(0);
    text.resize(4096, 'y');
    Bytes commented(plain.begin(), plain.begin() + kAfterPngHeader);
    const Bytes chunk = pngChunk("tEXt", text);
    commented.insert(commented.end(), chunk.begin(), chunk.end());
    commented.insert(commented.end(), plain.begin() + kAfterPngHeader, plain.end());
    assettest::writeFile("commented.png", commented);

    EXPECT_LT(peakGrowthOf([] { decodePng("hostile.png"); }), kRefusalAddressSpace);
    const DecodedPng refused = decodePng("hostile.png");
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.width, -1);
    EXPECT_EQ(refused.pixels, nullptr);

    const DecodedPng d = decodePng("commented.png");
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.width, 4);
    EXPECT_EQ(d.height, 4);
}

// A PNG header beyond the picture budget is refused before the pixel buffer is allocated.
TEST_F(ImageDecodeTest, PngHugeDeclaredSizeIsRefusedUnallocated) {
    const Bytes plain = plainPng();
    // Within libpng's own limits; the first two beyond the side, the last beyond the area.
    const std::uint32_t sizes[][2] = {{16385, 4}, {4, 30000}, {16384, 16384}};
    auto decodeAll = [&](bool check) {
        for (const auto& size : sizes) {
            Bytes header;
            putBigEndian32(header, size[0]);
            putBigEndian32(header, size[1]);
            header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, not interlaced
            Bytes huge(plain.begin(), plain.begin() + 8);
            const Bytes ihdr = pngChunk("IHDR", header);
            huge.insert(huge.end(), ihdr.begin(), ihdr.end());
            huge.insert(huge.end(), plain.begin() + kAfterPngHeader, plain.end());
            assettest::writeFile("huge.png", huge);
            const DecodedPng d = decodePng("huge.png");
            if (!check) continue;
            EXPECT_FALSE(d.ok) << size[0] << " x " << size[1];
            EXPECT_EQ(d.width, -1);
            EXPECT_EQ(d.pixels, nullptr);
        }
    };
    EXPECT_LT(peakGrowthOf([&] { decodeAll(false); }), kRefusalAddressSpace);
    decodeAll(true);
}

}  // namespace
