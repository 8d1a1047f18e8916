#pragma once
// GL entry points past GL 1.1, looked up at run time. Windows' opengl32 exports 1.1 only, so a
// program that calls newer functions directly does not link there; drawing code that needs them
// looks them up once a context is current and calls through the pointers.

namespace platform {

// The current context's entry point `name` (SDL_GL_GetProcAddress); null when the driver does
// not have it or no GL library is loaded. A non-null result is not proof that the current
// context supports the function: check the context's version or extensions first.
void* glEntryPoint(const char* name);

}  // namespace platform
