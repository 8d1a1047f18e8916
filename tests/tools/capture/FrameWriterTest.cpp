#include "FrameWriter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
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

// The buffers of frames written come back to be read into again: the very buffers handed in
// (no allocation per frame), each once, no more of them kept than can be in flight at once.
TEST(FrameWriter, FramesBuffersComeBackForReuse) {
    FrameWriter writer(nullptr, 3, 2, 1);  // room for one frame: at most three come back
    EXPECT_TRUE(writer.recycled().empty()) << "nothing written yet";
    std::set<const uint8_t*> handedIn;
    for (int k = 0; k < 6; ++k) {
        FrameJob job;
        job.bgra = bgraFrame(k);
        handedIn.insert(job.bgra.data());
        ASSERT_TRUE(writer.push(std::move(job)));
    }
    std::string error;
    ASSERT_TRUE(writer.drain(&error)) << error;
    // All kept until the end, so that no buffer can be freed and its memory handed back again.
    std::vector<std::vector<uint8_t>> back;
    std::set<const uint8_t*> seen;
    for (std::vector<uint8_t> bytes = writer.recycled(); !bytes.empty(); bytes = writer.recycled()) {
        EXPECT_EQ(bytes.size(), bgraFrame(0).size());
        EXPECT_EQ(handedIn.count(bytes.data()), 1u) << "a buffer that was not handed in";
        EXPECT_TRUE(seen.insert(bytes.data()).second) << "a buffer handed back twice";
        back.push_back(std::move(bytes));
    }
    EXPECT_GE(back.size(), 1u);
    EXPECT_LE(back.size(), 3u);
}

// A frame whose bytes are not a whole frame of the writer's size is refused with the sizes, and
// nothing is made of it.
TEST(FrameWriter, AFrameOfTheWrongSizeIsRefused) {
    for (const size_t bytes : {size_t{0}, size_t{23}, size_t{25}, size_t{18}}) {
        FrameWriter writer(nullptr, 3, 2);
        FrameJob job;
        job.bgra.assign(bytes, 7);
        job.stillPaths = {testing::TempDir() + "wrong-size.png"};
        ASSERT_TRUE(writer.push(std::move(job)));
        std::string error;
        EXPECT_FALSE(writer.drain(&error)) << bytes;
        EXPECT_EQ(error, "a frame of " + std::to_string(bytes) + " bytes, not the 24 of 3x2");
        EXPECT_TRUE(writer.stillsWritten().empty()) << bytes;
    }
}

}  // namespace
