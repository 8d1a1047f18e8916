// Off-screen rendering on Windows: SDL has no off-screen driver there (it needs EGL), so the
// window is an ordinary one that is never shown, its back buffer drawn into and read back.
#include "platform/SdlVideo.h"
#include "platform/WindowSystem.h"

namespace platform {

std::unique_ptr<WindowSystem> createOffscreenWindowSystem() { return createHiddenSdlWindowSystem(); }

}  // namespace platform
