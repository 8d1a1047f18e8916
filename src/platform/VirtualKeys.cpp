#include "platform/VirtualKeys.h"

#include <SDL.h>

namespace platform {

int virtualKeyFromSdl(std::int32_t sdlKeycode) {
    const SDL_Keycode key = sdlKeycode;
    // Letters and digits: upper-case ASCII, as the virtual-key table numbers them.
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12) return vk::F1 + (key - SDLK_F1);
    if (key >= SDLK_F13 && key <= SDLK_F24) return vk::F1 + 12 + (key - SDLK_F13);
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return vk::Numpad0 + 1 + (key - SDLK_KP_1);
    switch (key) {
        case SDLK_BACKSPACE: return vk::Back;
        case SDLK_TAB: return vk::Tab;
        case SDLK_CLEAR: return 12;
        case SDLK_RETURN:
        case SDLK_KP_ENTER: return vk::Return;
        case SDLK_LSHIFT:
        case SDLK_RSHIFT: return vk::Shift;
        case SDLK_LCTRL:
        case SDLK_RCTRL: return vk::Control;
        case SDLK_LALT:
        case SDLK_RALT: return vk::Menu;
        case SDLK_PAUSE: return 19;
        case SDLK_CAPSLOCK: return 20;
        case SDLK_ESCAPE: return vk::Escape;
        case SDLK_SPACE: return vk::Space;
        case SDLK_PAGEUP: return 33;
        case SDLK_PAGEDOWN: return 34;
        case SDLK_END: return 35;
        case SDLK_HOME: return 36;
        case SDLK_LEFT: return vk::Left;
        case SDLK_UP: return vk::Up;
        case SDLK_RIGHT: return vk::Right;
        case SDLK_DOWN: return vk::Down;
        case SDLK_SELECT: return 41;
        case SDLK_EXECUTE: return 43;
        case SDLK_PRINTSCREEN: return 44;
        case SDLK_INSERT: return 45;
        case SDLK_DELETE: return 46;
        case SDLK_HELP: return 47;
        case SDLK_LGUI: return 91;
        case SDLK_RGUI: return 92;
        case SDLK_APPLICATION: return 93;
        case SDLK_SLEEP: return 95;
        case SDLK_KP_0: return vk::Numpad0;
        case SDLK_KP_MULTIPLY: return 106;
        case SDLK_KP_PLUS: return vk::Add;
        case SDLK_SEPARATOR: return 108;
        case SDLK_KP_MINUS: return vk::Subtract;
        case SDLK_KP_PERIOD:
        case SDLK_KP_DECIMAL: return 110;
        case SDLK_KP_DIVIDE: return 111;
        case SDLK_NUMLOCKCLEAR: return 144;
        case SDLK_SCROLLLOCK: return 145;
        case SDLK_SEMICOLON: return 186;
        case SDLK_EQUALS: return 187;
        case SDLK_COMMA: return 188;
        case SDLK_MINUS: return 189;
        case SDLK_PERIOD: return 190;
        case SDLK_SLASH: return 191;
        case SDLK_BACKQUOTE: return 192;
        case SDLK_LEFTBRACKET: return 219;
        case SDLK_BACKSLASH: return 220;
        case SDLK_RIGHTBRACKET: return 221;
        case SDLK_QUOTE: return 222;
        case SDLK_LESS: return 226;  // the extra key of 102-key keyboards
        case SDLK_VOLUMEUP: return 175;
        case SDLK_VOLUMEDOWN: return 174;
        case SDLK_MUTE: return 173;
        case SDLK_AUDIONEXT: return 176;
        case SDLK_AUDIOPREV: return 177;
        case SDLK_AUDIOSTOP: return 178;
        case SDLK_AUDIOPLAY: return 179;
        default: return 0;
    }
}

}  // namespace platform
