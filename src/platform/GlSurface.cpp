#include "platform/GlSurface.h"

#include <SDL.h>

#include "platform/HeldStderr.h"
#include "platform/SdlVideo.h"

namespace platform {

std::unique_ptr<GlSurface> GlSurface::create(const std::string& title, int width, int height,
                                             bool visible, std::string* error) {
    auto fail = [error](const char* what) -> std::unique_ptr<GlSurface> {
        if (error) *error = std::string(what) + ": " + SDL_GetError();
        return nullptr;
    };
    std::string reason;
    if (!initSdlVideo(&reason)) {
        if (error) *error = "cannot initialise video: " + reason;
        return nullptr;
    }
    requestGlAttributes();

    HeldStderr held;  // the GL driver's notes while it loads, shown only when it fails
    Uint32 flags = SDL_WINDOW_OPENGL | (visible ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN);
    SDL_Window* window = SDL_CreateWindow(title.c_str(), 0, 0, width, height, flags);
    if (!window) {
        held.replay();
        return fail("cannot create window");
    }
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context) {
        held.replay();
        SDL_DestroyWindow(window);
        return fail("cannot create GL context");
    }
    SDL_GL_MakeCurrent(window, context);

    std::unique_ptr<GlSurface> surface(new GlSurface);
    surface->window_ = window;
    surface->context_ = context;
    surface->width_ = width;
    surface->height_ = height;
    return surface;
}

GlSurface::~GlSurface() {
    if (context_) SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context_));
    if (window_) SDL_DestroyWindow(static_cast<SDL_Window*>(window_));
}

void GlSurface::swapBuffers() { SDL_GL_SwapWindow(static_cast<SDL_Window*>(window_)); }

void* GlSurface::procAddress(const char* name) const { return SDL_GL_GetProcAddress(name); }

}  // namespace platform
