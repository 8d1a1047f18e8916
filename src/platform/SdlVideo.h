#pragma once
// Shared SDL video set-up of the platform layer (includes SDL: platform sources only).
#include <memory>
#include <string>

#include "platform/WindowSystem.h"

namespace platform {

// Starts SDL's video subsystem once per process; false with the reason in *error.
bool initSdlVideo(std::string* error);

// Asks for the context every window of the program uses: compatibility profile (fixed
// function), double-buffered 8-bit RGBA with a 24-bit depth buffer. Set before the window opens.
void requestGlAttributes();

// SDL's window services on whatever video driver SDL picks, the window never shown: for drawing
// that is only read back (the off-screen window where there is no off-screen driver).
std::unique_ptr<WindowSystem> createHiddenSdlWindowSystem();

}  // namespace platform
