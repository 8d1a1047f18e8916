// The gate on the content pack: the fast render path draws the quick gate frames within the gate
// of the faithful path.
#include <gtest/gtest.h>
#include <unistd.h>

#include "PictureGate.h"

namespace {

TEST(PictureGateGl, FastPathPassesTheGateOnThePack) {
    if (chdir(VX_RUN_DIR) != 0 || access("data/valo4.jpg", R_OK) != 0)
        GTEST_SKIP() << "no content pack in " << VX_RUN_DIR << " (the build makes none)";
    const std::vector<picturegate::GateFrame> frames = picturegate::quickGateFrames();
    std::vector<capture::RgbImage> faithful, fast;
    std::string error;
    ASSERT_TRUE(picturegate::renderFrames(frames, content::RenderPath::Faithful, &faithful, &error)) << error;
    ASSERT_TRUE(picturegate::renderFrames(frames, content::RenderPath::Fast, &fast, &error)) << error;
    for (std::size_t k = 0; k < frames.size(); ++k) {
        const picturegate::FrameDifference d = picturegate::compareImages(faithful[k], fast[k]);
        EXPECT_TRUE(picturegate::passes(d)) << frames[k].name << ": max " << d.maxLevel << ", " << d.overOne
                                            << " pixels more than 1 level off of " << d.pixels;
        EXPECT_EQ(faithful[k].width, frames[k].width) << frames[k].name;
    }
    // Blank pictures would pass trivially: two different sections must differ.
    ASSERT_GE(frames.size(), 2u);
    EXPECT_GT(picturegate::compareImages(faithful[0], faithful[1]).maxLevel, 50);
}

// The fast path's band fallback for a GL without GLSL (fixed-function layers, those that add
// nothing skipped) on the frame with the most layers: the second burst's streaks.
TEST(PictureGateGl, FixedFunctionFallbackPassesTheGate) {
    if (chdir(VX_RUN_DIR) != 0 || access("data/valo4.jpg", R_OK) != 0)
        GTEST_SKIP() << "no content pack in " << VX_RUN_DIR << " (the build makes none)";
    std::vector<picturegate::GateFrame> frames;
    for (const picturegate::GateFrame& f : picturegate::gateFrames())
        if (f.name == "second-burst") frames.push_back(f);
    ASSERT_EQ(frames.size(), 1u);
    std::vector<capture::RgbImage> faithful, fallback;
    std::string error;
    ASSERT_TRUE(picturegate::renderFrames(frames, content::RenderPath::Faithful, &faithful, &error)) << error;
    ASSERT_TRUE(picturegate::renderFrames(frames, content::RenderPath::FastFixedFunction, &fallback, &error)) << error;
    const picturegate::FrameDifference d = picturegate::compareImages(faithful[0], fallback[0]);
    EXPECT_TRUE(picturegate::passes(d)) << "max " << d.maxLevel << ", " << d.overOne << " pixels more than 1 level off of "
                                        << d.pixels;
    EXPECT_EQ(fallback[0].width, frames[0].width);
}

}  // namespace
