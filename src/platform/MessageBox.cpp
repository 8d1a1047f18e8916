#include "platform/MessageBox.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>

namespace platform {

bool showErrorBox(const std::string& caption, const std::string& text) {
    const char* setting = std::getenv("VX_MESSAGE_BOX");
    if (setting && std::strcmp(setting, "0") == 0) return false;
    return SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption.c_str(), text.c_str(), nullptr) == 0;
}

void showPointer(bool visible) {
    if (SDL_WasInit(SDL_INIT_VIDEO) & SDL_INIT_VIDEO) SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

}  // namespace platform
