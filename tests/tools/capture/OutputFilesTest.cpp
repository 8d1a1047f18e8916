#include "OutputFiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/TempFiles.h"

namespace {

class OutputFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = testsupport::makeTempDir("capture-outputs-");
        existing = dir + "/existing.mp4";
        std::ofstream(existing) << "keep me";
    }
    void TearDown() override {
        std::remove(existing.c_str());
        rmdir(dir.c_str());
    }
    std::string contentOf(const std::string& path) {
        std::ifstream in(path);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::string dir;
    std::string existing;
};

TEST_F(OutputFilesTest, AcceptsNewAndReplaceableFilesAndLeavesThemAsTheyWere) {
    std::string error;
    EXPECT_TRUE(capture::checkOutputPath(dir + "/new.mp4", false, &error)) << error;
    struct stat st;
    EXPECT_NE(stat((dir + "/new.mp4").c_str(), &st), 0) << "the probe file was left behind";
    EXPECT_TRUE(capture::checkOutputPath(existing, true, &error)) << error;
    EXPECT_EQ(contentOf(existing), "keep me");
}

TEST_F(OutputFilesTest, RefusesWhatCannotOrMustNotBeWritten) {
    const struct {
        std::string path;
        bool overwrite;
        std::string expected;
    } cases[] = {
        {existing, false, existing + " already exists (give --overwrite to replace it)"},
        {dir, true, "cannot write " + dir + ": it is a directory"},
        {dir + "/missing/x.mp4", true, "cannot write " + dir + "/missing/x.mp4: No such file or directory"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(capture::checkOutputPath(c.path, c.overwrite, &error)) << c.path;
        EXPECT_EQ(error, c.expected);
    }
    EXPECT_EQ(contentOf(existing), "keep me");
}

TEST_F(OutputFilesTest, NamesAPathGivenTwice) {
    std::string error;
    EXPECT_TRUE(capture::checkDistinctPaths({"/a.png", "/b.png"}, &error));
    EXPECT_FALSE(capture::checkDistinctPaths({"/a.png", "/b.png", "/a.png"}, &error));
    EXPECT_EQ(error, "/a.png is named as output twice");
}

TEST(AbsolutePath, AnchorsRelativePathsInTheCurrentDirectory) {
    // Compared as paths: Windows writes its own separator, and a path is absolute there only
    // with its drive ("/x" is on the current one).
    const std::filesystem::path cwd = std::filesystem::current_path();
    EXPECT_EQ(std::filesystem::path(capture::absolutePath("out/a.mp4")), cwd / "out" / "a.mp4");
    const std::string absolute = (cwd.root_path() / "x" / "a.mp4").string();
    EXPECT_EQ(capture::absolutePath(absolute), absolute);
}

}  // namespace
