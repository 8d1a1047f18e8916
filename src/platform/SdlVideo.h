#pragma once
// Shared SDL video set-up of the platform layer (includes SDL: platform sources only).
#include <string>

namespace platform {

// Starts SDL's video subsystem once per process; false with the reason in *error.
bool initSdlVideo(std::string* error);

// Asks for the context every window of the program uses: compatibility profile (fixed
// function), double-buffered 8-bit RGBA with a 24-bit depth buffer. Set before the window opens.
void requestGlAttributes();

}  // namespace platform
