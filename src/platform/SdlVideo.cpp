#include "platform/SdlVideo.h"

#include <SDL.h>

#include "platform/HeldStderr.h"

namespace platform {

bool initSdlVideo(std::string* error) {
    if (SDL_WasInit(SDL_INIT_VIDEO) & SDL_INIT_VIDEO) return true;
    // A full-screen window must stay full screen when a message box or another window takes
    // the focus.
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    // Looking for a display, SDL tries Wayland and X11 in turn; what their libraries print about
    // the environment matters only when no driver comes up at all.
    HeldStderr held;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) return true;
    held.replay();
    if (error) *error = SDL_GetError();
    return false;
}

void requestGlAttributes() {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
}

}  // namespace platform
