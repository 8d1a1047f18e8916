#pragma once
// What the drawing code reads of the window it draws into: the drawing size and the multitexture
// entry point. The window (app::GlWindow) is one; the content keeps a pointer to this part only,
// so it draws without knowing the window, and a test or tool can hand it a plain record.
#include <GL/gl.h>

namespace platform {

struct DrawingSurface {
    // Selects texture unit 0 or 1 (GL_TEXTURE0_ARB, GL_TEXTURE1_ARB). GL calling convention:
    // it differs from the C one on 32-bit Windows.
    using ActiveTextureProc = void(APIENTRY*)(GLenum texture);

    int width = 0;   // current drawing size in pixels (the last viewport size)
    int height = 0;
    ActiveTextureProc glActiveTextureARB = nullptr;  // null until the window looks it up
};

}  // namespace platform
