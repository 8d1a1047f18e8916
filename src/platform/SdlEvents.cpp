#include "platform/SdlEvents.h"

#include "platform/VirtualKeys.h"

namespace platform {

bool translateSdlEvent(const SDL_Event& event, WindowEvent& out) {
    out = WindowEvent{};
    switch (event.type) {
        case SDL_QUIT:
            out.type = WindowEvent::Close;
            return true;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
                out.type = WindowEvent::Close;
                return true;
            }
            if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                out.type = WindowEvent::Size;
                out.width = event.window.data1;
                out.height = event.window.data2;
                return true;
            }
            return false;
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            out.key = virtualKeyFromSdl(event.key.keysym.sym);
            if (out.key == 0) return false;
            const bool down = event.type == SDL_KEYDOWN;
            // Windows sends the Alt key itself as a system key as well, and so it does for F10.
            const bool system = (event.key.keysym.mod & KMOD_ALT) != 0 || out.key == vk::Menu ||
                                out.key == vk::F10;
            if (system)
                out.type = down ? WindowEvent::SysKeyDown : WindowEvent::SysKeyUp;
            else
                out.type = down ? WindowEvent::KeyDown : WindowEvent::KeyUp;
            return true;
        }
        default:
            return false;
    }
}

}  // namespace platform
