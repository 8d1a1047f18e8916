#pragma once
// Where the running program's executable lies.
#include <string>

namespace platform {

// The folder of the running executable, ending in '/' (SDL_GetBasePath); empty when the system
// does not say.
std::string programDirectory();

}  // namespace platform
