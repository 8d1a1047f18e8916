#include "PictureGate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <set>
#include <string>

#include "content/Timeline.h"

namespace {

using picturegate::FrameDifference;

// A 40 x 25 grey picture (1,000 pixels).
capture::RgbImage grey() {
    capture::RgbImage image;
    image.width = 40;
    image.height = 25;
    image.pixels.assign(40 * 25 * 3, 100);
    return image;
}

TEST(PictureGate, MeasuresAndVerdicts) {
    struct Change {
        int pixel, channel, delta;
    };
    struct Case {
        const char* what;
        std::vector<Change> changes;
        int maxLevel;
        int overOne, overTwo;
        bool passes;
    };
    const Case cases[] = {
        {"equal", {}, 0, 0, 0, true},
        {"one level everywhere", {{0, 0, 1}, {1, 1, -1}, {999, 2, 1}}, 1, 0, 0, true},
        {"two levels on 0.1% of the pixels", {{7, 1, 2}}, 2, 1, 0, true},
        {"two levels on 0.2% of the pixels", {{7, 1, 2}, {8, 2, -2}}, 2, 2, 0, false},
        {"three levels on one channel", {{500, 2, -3}}, 3, 1, 1, false},
        {"three channels of one pixel count once", {{3, 0, 2}, {3, 1, 2}, {3, 2, -2}}, 2, 1, 0, true},
        {"the largest channel decides", {{3, 0, 1}, {3, 1, 40}}, 40, 1, 1, false},
    };
    for (const Case& c : cases) {
        capture::RgbImage changed = grey();
        for (const Change& ch : c.changes) changed.pixels[ch.pixel * 3 + ch.channel] += ch.delta;
        const FrameDifference d = picturegate::compareImages(grey(), changed);
        EXPECT_EQ(d.maxLevel, c.maxLevel) << c.what;
        EXPECT_EQ(d.overOne, c.overOne) << c.what;
        EXPECT_EQ(d.overTwo, c.overTwo) << c.what;
        EXPECT_EQ(d.pixels, 1000) << c.what;
        EXPECT_EQ(picturegate::passes(d), c.passes) << c.what;
        if (c.changes.empty()) {
            EXPECT_TRUE(std::isinf(d.psnr)) << c.what;
        } else {
            double squares = 0;
            for (const Change& ch : c.changes) squares += ch.delta * ch.delta;
            EXPECT_NEAR(d.psnr, 10 * std::log10(255.0 * 255.0 / (squares / 3000)), 1e-9) << c.what;
        }
    }
}

TEST(PictureGate, PicturesOfDifferentSizesNeverPass) {
    capture::RgbImage other = grey();
    other.width = 25;
    other.height = 40;
    const FrameDifference d = picturegate::compareImages(grey(), other);
    EXPECT_EQ(d.maxLevel, 255);
    EXPECT_FALSE(picturegate::passes(d));
    capture::RgbImage truncated = grey();
    truncated.pixels.pop_back();
    EXPECT_FALSE(picturegate::passes(picturegate::compareImages(grey(), truncated)));
}

TEST(PictureGate, ComparesPngFiles) {
    const std::string dir = ::testing::TempDir();
    const std::string reference = dir + "/gate-reference.png", near = dir + "/gate-near.png",
                      far = dir + "/gate-far.png", notPng = dir + "/gate-not.png";
    capture::RgbImage nearImage = grey(), farImage = grey();
    nearImage.pixels[10] += 1;
    farImage.pixels[20] -= 9;
    std::string error;
    ASSERT_TRUE(capture::writePng(reference, grey(), &error)) << error;
    ASSERT_TRUE(capture::writePng(near, nearImage, &error)) << error;
    ASSERT_TRUE(capture::writePng(far, farImage, &error)) << error;
    {
        std::FILE* f = std::fopen(notPng.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("not a picture", f);
        std::fclose(f);
    }
    struct Case {
        std::string candidate;
        bool read;
        int maxLevel;
    };
    const Case cases[] = {{reference, true, 0}, {near, true, 1}, {far, true, 9},
                          {dir + "/gate-missing.png", false, 0}, {notPng, false, 0}};
    for (const Case& c : cases) {
        FrameDifference d;
        error.clear();
        EXPECT_EQ(picturegate::comparePngFiles(reference, c.candidate, &d, &error), c.read) << c.candidate;
        if (c.read) {
            EXPECT_EQ(d.maxLevel, c.maxLevel) << c.candidate;
            EXPECT_EQ(d.pixels, 1000) << c.candidate;
        } else {
            EXPECT_NE(error.find(c.candidate), std::string::npos) << error;
        }
    }
    // Either side unreadable is an error.
    FrameDifference d;
    EXPECT_FALSE(picturegate::comparePngFiles(notPng, reference, &d, &error));
    std::remove(reference.c_str());
    std::remove(near.c_str());
    std::remove(far.c_str());
    std::remove(notPng.c_str());
}

TEST(PictureGate, FramesCoverTheShowWithUniqueNames) {
    const auto& frames = picturegate::gateFrames();
    std::set<std::string> names;
    bool large = false;
    for (const auto& f : frames) {
        EXPECT_TRUE(names.insert(f.name).second) << f.name;
        large = large || (f.width == 1280 && f.height == 960);
        // The first music time of each scene time.
        const int ms = picturegate::msAtSceneTime(f.t);
        EXPECT_GE(content::sceneTime(ms), f.t) << f.name;
        EXPECT_LT(content::sceneTime(ms - 1), f.t) << f.name;
    }
    EXPECT_TRUE(large);
    EXPECT_GE(frames.size(), 12u);
    EXPECT_GE(picturegate::quickGateFrames().size(), 3u);
    for (const auto& f : picturegate::quickGateFrames()) EXPECT_EQ(names.count(f.name), 1u) << f.name;
}

}  // namespace
