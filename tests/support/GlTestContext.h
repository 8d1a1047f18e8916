#pragma once
// A GL context shared by every test of one executable: a hidden 640 x 480 window opened once
// (the suite runs under Xvfb). Tests that draw derive their fixture from GlTest.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include "platform/GlSurface.h"

namespace testsupport {

// The process-wide test surface; opened on first use. Fails the calling test when no GL
// context can be made (no DISPLAY: run the suite through scripts/test).
platform::GlSurface* glSurface();

class GlTest : public ::testing::Test {
protected:
    void SetUp() override;
    // Fails the test if the GL error flag is set, naming the step.
    static void expectNoGlError(const char* step);
};

}  // namespace testsupport
