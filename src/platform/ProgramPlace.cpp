#include "platform/ProgramPlace.h"

#include <SDL.h>

namespace platform {

std::string programDirectory() {
    char* base = SDL_GetBasePath();
    if (!base) return std::string();
    std::string dir = base;
    SDL_free(base);
    return dir;
}

}  // namespace platform
