#include "support/GlTestContext.h"

#include <string>

namespace testsupport {

platform::GlSurface* glSurface() {
    static std::unique_ptr<platform::GlSurface> surface;
    static std::string error;
    if (!surface && error.empty()) {
        surface = platform::GlSurface::create("gl test", 640, 480, false, &error);
        if (!surface && error.empty()) error = "unknown failure";
    }
    return surface.get();
}

void GlTest::SetUp() {
    ASSERT_NE(glSurface(), nullptr) << "no GL context (the GL tests need a display: use scripts/test)";
    while (glGetError() != GL_NO_ERROR) {
    }
}

void GlTest::expectNoGlError(const char* step) {
    const GLenum e = glGetError();
    EXPECT_EQ(e, static_cast<GLenum>(GL_NO_ERROR)) << "GL error 0x" << std::hex << e << " after " << step;
}

}  // namespace testsupport
