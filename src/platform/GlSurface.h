#pragma once
// A window with a current OpenGL compatibility-profile context (fixed function, double-buffered
// RGBA with a depth buffer). The small piece of the platform layer that tests and offline tools
// use when they need a GL context without the demo's window procedure.
#include <memory>
#include <string>

namespace platform {

class GlSurface {
public:
    // Opens the window and makes its context current on the calling thread. Returns null, with
    // the reason in *error, when there is no display or no GL context can be made.
    static std::unique_ptr<GlSurface> create(const std::string& title, int width, int height,
                                             bool visible, std::string* error = nullptr);
    ~GlSurface();

    GlSurface(const GlSurface&) = delete;
    GlSurface& operator=(const GlSurface&) = delete;

    void swapBuffers();
    // GL entry point by name; null when the driver does not have it.
    void* procAddress(const char* name) const;

    int width() const { return width_; }
    int height() const { return height_; }

private:
    GlSurface() = default;
    void* window_ = nullptr;   // SDL_Window*
    void* context_ = nullptr;  // SDL_GLContext
    int width_ = 0;
    int height_ = 0;
};

}  // namespace platform
