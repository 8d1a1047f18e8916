#pragma once
// Windows virtual-key codes: the numbering the key state of the window uses (one slot per code,
// 256 slots). The platform layer translates its own key codes into these.
#include <cstdint>

namespace platform {

namespace vk {
constexpr int Back = 8;
constexpr int Tab = 9;
constexpr int Return = 13;
constexpr int Shift = 16;
constexpr int Control = 17;
constexpr int Menu = 18;  // Alt
constexpr int Escape = 27;
constexpr int Space = 32;
constexpr int Left = 37;
constexpr int Up = 38;
constexpr int Right = 39;
constexpr int Down = 40;
constexpr int Numpad0 = 96;
constexpr int Add = 107;       // keypad plus
constexpr int Subtract = 109;  // keypad minus
constexpr int F1 = 112;
constexpr int F10 = 121;
constexpr int Count = 256;
}  // namespace vk

// The virtual-key code of an SDL key code (SDL_Keycode); 0 for keys that have none. The result
// is always below vk::Count.
int virtualKeyFromSdl(std::int32_t sdlKeycode);

}  // namespace platform
