// Off-screen rendering on Unix: SDL's off-screen video driver over Mesa's EGL.
#include <SDL.h>

#include "platform/SdlVideo.h"
#include "platform/WindowSystem.h"

namespace platform {

std::unique_ptr<WindowSystem> createOffscreenWindowSystem() {
    // A hint of normal priority: SDL_VIDEODRIVER in the environment still wins.
    if (!(SDL_WasInit(SDL_INIT_VIDEO) & SDL_INIT_VIDEO)) SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    return createSdlWindowSystem(false);
}

}  // namespace platform
