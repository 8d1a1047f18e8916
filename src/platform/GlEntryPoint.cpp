#include "platform/GlEntryPoint.h"

#include <SDL.h>

namespace platform {

void* glEntryPoint(const char* name) { return SDL_GL_GetProcAddress(name); }

}  // namespace platform
