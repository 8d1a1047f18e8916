#include "platform/SdlEvents.h"

#include <gtest/gtest.h>

#include "platform/VirtualKeys.h"

namespace {

using platform::WindowEvent;

TEST(VirtualKeys, SdlKeysMapOntoTheWindowsVirtualKeyTable) {
    struct Case {
        SDL_Keycode sdl;
        int vk;
    };
    const Case cases[] = {
        {SDLK_ESCAPE, 27},  {SDLK_KP_PLUS, 107}, {SDLK_KP_MINUS, 109}, {SDLK_RETURN, 13},
        {SDLK_KP_ENTER, 13}, {SDLK_a, 'A'},      {SDLK_z, 'Z'},        {SDLK_0, '0'},
        {SDLK_9, '9'},      {SDLK_F1, 112},      {SDLK_F10, 121},      {SDLK_F12, 123},
        {SDLK_F24, 135},    {SDLK_LEFT, 37},     {SDLK_UP, 38},        {SDLK_RIGHT, 39},
        {SDLK_DOWN, 40},    {SDLK_KP_0, 96},     {SDLK_KP_9, 105},     {SDLK_KP_MULTIPLY, 106},
        {SDLK_KP_DIVIDE, 111}, {SDLK_LSHIFT, 16}, {SDLK_RCTRL, 17},    {SDLK_LALT, 18},
        {SDLK_SPACE, 32},   {SDLK_BACKSPACE, 8}, {SDLK_TAB, 9},        {SDLK_DELETE, 46},
        {SDLK_MINUS, 189},  {SDLK_EQUALS, 187},  {SDLK_QUOTE, 222},    {SDLK_NUMLOCKCLEAR, 144},
        {SDLK_UNKNOWN, 0},  {SDLK_AC_BACK, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(platform::virtualKeyFromSdl(c.sdl), c.vk) << SDL_GetKeyName(c.sdl);
}

SDL_Event keyEvent(Uint32 type, SDL_Keycode key, Uint16 mod) {
    SDL_Event e{};
    e.type = type;
    e.key.keysym.sym = key;
    e.key.keysym.mod = mod;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    return e;
}

SDL_Event windowEvent(Uint8 which, int data1 = 0, int data2 = 0) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = which;
    e.window.data1 = data1;
    e.window.data2 = data2;
    return e;
}

TEST(SdlEvents, KeysWithAltBecomeSystemKeysAndWindowEventsTranslate) {
    struct Case {
        const char* name;
        SDL_Event in;
        bool kept;
        WindowEvent::Type type;
        int key, width, height;
    };
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    const Case cases[] = {
        {"escape down", keyEvent(SDL_KEYDOWN, SDLK_ESCAPE, KMOD_NONE), true, WindowEvent::KeyDown, 27, 0, 0},
        {"keypad plus up", keyEvent(SDL_KEYUP, SDLK_KP_PLUS, KMOD_NUM), true, WindowEvent::KeyUp, 107, 0, 0},
        {"shift+a", keyEvent(SDL_KEYDOWN, SDLK_a, KMOD_LSHIFT), true, WindowEvent::KeyDown, 'A', 0, 0},
        {"alt+enter", keyEvent(SDL_KEYDOWN, SDLK_RETURN, KMOD_LALT), true, WindowEvent::SysKeyDown, 13, 0, 0},
        {"right alt+a up", keyEvent(SDL_KEYUP, SDLK_a, KMOD_RALT), true, WindowEvent::SysKeyUp, 'A', 0, 0},
        {"alt itself", keyEvent(SDL_KEYDOWN, SDLK_LALT, KMOD_NONE), true, WindowEvent::SysKeyDown, 18, 0, 0},
        {"f10", keyEvent(SDL_KEYDOWN, SDLK_F10, KMOD_NONE), true, WindowEvent::SysKeyDown, 121, 0, 0},
        {"key without a code", keyEvent(SDL_KEYDOWN, SDLK_AC_BACK, KMOD_NONE), false, WindowEvent::None, 0, 0, 0},
        {"close box", windowEvent(SDL_WINDOWEVENT_CLOSE), true, WindowEvent::Close, 0, 0, 0},
        {"quit", quit, true, WindowEvent::Close, 0, 0, 0},
        {"size", windowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, 800, 600), true, WindowEvent::Size, 0, 800, 600},
        {"minimised to nothing", windowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, 0, 0), true, WindowEvent::Size, 0, 0, 0},
        {"exposed", windowEvent(SDL_WINDOWEVENT_EXPOSED), false, WindowEvent::None, 0, 0, 0},
        {"mouse", motion, false, WindowEvent::None, 0, 0, 0},
    };
    for (const Case& c : cases) {
        WindowEvent out;
        out.type = WindowEvent::Command;  // must be overwritten
        EXPECT_EQ(platform::translateSdlEvent(c.in, out), c.kept) << c.name;
        if (!c.kept) continue;
        EXPECT_EQ(out.type, c.type) << c.name;
        EXPECT_EQ(out.key, c.key) << c.name;
        EXPECT_EQ(out.width, c.width) << c.name;
        EXPECT_EQ(out.height, c.height) << c.name;
    }
}

}  // namespace
