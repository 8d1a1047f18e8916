#pragma once
// The one top-level window of the show with its OpenGL rendering context.
//
// The fields below are what the rest of the program reads: the drawing size (every projection
// and the letterbox viewport are set from it), the key state the main loop reads, and the
// multitexture entry point the drawing code calls. A GlWindow constructed but never created has
// all of them at their initial values and touches no platform service, so tests can set them.
#include <GL/gl.h>

namespace app {

class GlWindow {
public:
    using ActiveTextureProc = void (*)(GLenum texture);

    GlWindow() = default;
    virtual ~GlWindow() = default;
    GlWindow(const GlWindow&) = delete;
    GlWindow& operator=(const GlWindow&) = delete;

    int quitRequested = 0;     // 1 once the window was closed or destroyed; never reset
    int keys[256] = {};        // one slot per Windows virtual-key code, 1 while held down
    int maxTextureSize = 0;    // GL_MAX_TEXTURE_SIZE
    int width = 0;             // current drawing size in pixels (the last viewport size)
    int height = 0;
    bool active = false;       // the main loop draws only while set
    ActiveTextureProc glActiveTextureARB = nullptr;  // selects texture unit 0 or 1
};

}  // namespace app
