// Standard error held back around a step: dropped when the step succeeds, shown when it fails.
#include "platform/HeldStderr.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

// Points standard error at a temporary file for the test's lifetime and reads what reached it.
class StderrToFile : public ::testing::Test {
protected:
    void SetUp() override {
        std::fflush(stderr);
        file_ = std::tmpfile();
        ASSERT_NE(file_, nullptr);
        saved_ = dup(STDERR_FILENO);
        ASSERT_GE(dup2(fileno(file_), STDERR_FILENO), 0);
    }
    void TearDown() override {
        std::fflush(stderr);
        dup2(saved_, STDERR_FILENO);
        close(saved_);
        std::fclose(file_);
    }
    std::string reached() {
        std::fflush(stderr);
        std::string text;
        char buf[256];
        size_t n;
        std::rewind(file_);
        while ((n = std::fread(buf, 1, sizeof buf, file_)) > 0) text.append(buf, n);
        return text;
    }
    // Both ways libraries print: the C stream and the bare descriptor.
    static void chatter(const char* text) {
        std::fprintf(stderr, "%s", text);
        if (write(STDERR_FILENO, "|", 1) != 1) ADD_FAILURE();
    }

private:
    FILE* file_ = nullptr;
    int saved_ = -1;
};

TEST_F(StderrToFile, DroppedWhenTheStepSucceeds) {
    {
        platform::HeldStderr held;
        chatter("error: XDG_RUNTIME_DIR is invalid or not set in the environment.\n");
    }
    std::fprintf(stderr, "after\n");
    EXPECT_EQ(reached(), "after\n");
}

TEST_F(StderrToFile, ShownWhenTheStepFails) {
    std::fprintf(stderr, "before\n");
    {
        platform::HeldStderr held;
        chatter("ALSA lib pcm.c: Unknown PCM default\n");
        held.replay();
        std::fprintf(stderr, "Error: Cannot initialize device\n");
    }
    EXPECT_EQ(reached(), "before\nALSA lib pcm.c: Unknown PCM default\n|Error: Cannot initialize device\n");
}

TEST_F(StderrToFile, ReleaseReturnsTheTextOnceAndRestoresStandardError) {
    platform::HeldStderr held;
    chatter("a note\n");
    EXPECT_EQ(held.release(), "a note\n|");
    EXPECT_EQ(held.release(), "");
    std::fprintf(stderr, "mine\n");
    EXPECT_EQ(reached(), "mine\n");
}

TEST_F(StderrToFile, MoreThanAPipeHolds) {
    const std::string line(999, 'x');
    platform::HeldStderr held;
    for (int i = 0; i < 200; ++i) std::fprintf(stderr, "%s\n", line.c_str());  // 200 kB
    EXPECT_EQ(held.release().size(), 200u * 1000u);
}

}  // namespace
