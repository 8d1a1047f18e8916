#pragma once
// Translation of SDL events into window events (includes SDL: platform sources and their tests).
#include <SDL.h>

#include "platform/WindowSystem.h"

namespace platform {

// Fills `out` from an SDL event that concerns the show's window and returns true; false for
// events it has no use for. Keys pressed while Alt is held, and F10, become system keys, as
// Windows delivers them; keys without a virtual-key code are dropped.
bool translateSdlEvent(const SDL_Event& event, WindowEvent& out);

}  // namespace platform
