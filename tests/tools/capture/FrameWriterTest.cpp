#include "FrameWriter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "FrameReadback.h"
#include "PngWriter.h"

namespace {

using capture::FrameJob;
using capture::FrameWriter;

// A 3 x 2 BGRA frame, rows from the bottom up, its bytes set by seed.
std::vector<uint8_t> bgraFrame(int seed) {
    std::vector<uint8_t> bytes(3 * 2 * 4);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(seed * 31 + i * 7);
    return bytes;
}

// Stills are written in the order queued, each the RGB picture of its frame; a queue of one
// frame holds the caller back rather than dropping frames.
TEST(FrameWriter, WritesEveryQueuedFramesStillsInOrder) {
    const std::string dir = testing::TempDir();
    std::vector<std::string> expected;
    {
        FrameWriter writer(nullptr, 3, 2, 1);  // room for one frame
        for (int k = 0; k < 5; ++k) {
            FrameJob job;
            job.bgra = bgraFrame(k);
            job.stillPaths = {dir + "writer-" + std::to_string(k) + ".png"};
            if (k == 2) job.stillPaths.push_back(dir + "writer-2b.png");
            expected.insert(expected.end(), job.stillPaths.begin(), job.stillPaths.end());
            ASSERT_TRUE(writer.push(std::move(job)));
        }
        std::string error;
        ASSERT_TRUE(writer.drain(&error)) << error;
        EXPECT_FALSE(writer.failed());
        EXPECT_EQ(writer.stillsWritten(), expected);
        EXPECT_EQ(writer.videoFrames(), 0);
    }
    for (int k = 0; k < 5; ++k) {
        capture::RgbImage back;
        std::string error;
        const std::string path = dir + "writer-" + std::to_string(k) + ".png";
        ASSERT_TRUE(capture::readPng(path, &back, &error)) << error;
        const std::vector<uint8_t> bytes = bgraFrame(k);
        EXPECT_EQ(back.pixels, capture::bgraBottomUpToRgb(bytes.data(), 3, 2).pixels) << k;
    }
    for (const std::string& path : expected) std::remove(path.c_str());
}

// A failed write is reported once by drain, with its reason; later frames are refused.
TEST(FrameWriter, AFailedStillStopsTheWritingWithItsReason) {
    FrameWriter writer(nullptr, 3, 2);
    FrameJob bad;
    bad.bgra = bgraFrame(1);
    bad.stillPaths = {"/nonexistent-dir/x.png"};
    ASSERT_TRUE(writer.push(std::move(bad)));
    std::string error;
    EXPECT_FALSE(writer.drain(&error));
    EXPECT_NE(error.find("/nonexistent-dir/x.png: cannot write PNG"), std::string::npos) << error;
    EXPECT_TRUE(writer.failed());
    FrameJob next;
    next.bgra = bgraFrame(2);
    EXPECT_FALSE(writer.push(std::move(next)));
    EXPECT_TRUE(writer.stillsWritten().empty());
}

}  // namespace
