#include "PngWriter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

TEST(PngWriter, WritesRowsTopDownAndReadsThemBackUnchanged) {
    capture::RgbImage image;
    image.width = 5;  // odd width: rows are not padded
    image.height = 3;
    for (int i = 0; i < 5 * 3 * 3; ++i) image.pixels.push_back(static_cast<uint8_t>(i * 17 + 3));
    const std::string path = testing::TempDir() + "capture-png-test.png";
    std::string error;
    ASSERT_TRUE(capture::writePng(path, image, &error)) << error;
    capture::RgbImage back;
    ASSERT_TRUE(capture::readPng(path, &back, &error)) << error;
    std::remove(path.c_str());
    EXPECT_EQ(back.width, 5);
    EXPECT_EQ(back.height, 3);
    EXPECT_EQ(back.pixels, image.pixels);
}

TEST(PngWriter, ReportsFilesItCannotWriteOrRead) {
    capture::RgbImage image;
    image.width = 1;
    image.height = 1;
    image.pixels = {1, 2, 3};
    std::string error;
    EXPECT_FALSE(capture::writePng("/nonexistent-dir/a.png", image, &error));
    EXPECT_NE(error.find("/nonexistent-dir/a.png: cannot write PNG"), std::string::npos) << error;
    image.pixels.pop_back();
    EXPECT_FALSE(capture::writePng(testing::TempDir() + "short.png", image, &error));
    EXPECT_NE(error.find("no picture to write"), std::string::npos) << error;
    capture::RgbImage back;
    EXPECT_FALSE(capture::readPng("/nonexistent-dir/a.png", &back, &error));
    EXPECT_NE(error.find("cannot read PNG"), std::string::npos) << error;
}

}  // namespace
