// A windowed program starts with standard handles only where its starter redirected them; the
// console of a prompt it was started from is attached for the rest.
#include <windows.h>

#include <cstdio>

#include "platform/Console.h"

namespace platform {

namespace {

bool leadsSomewhere(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

}  // namespace

bool attachParentConsole() {
    const bool output = leadsSomewhere(STD_OUTPUT_HANDLE);
    const bool error = leadsSomewhere(STD_ERROR_HANDLE);
    if (output && error) return true;
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return error;
    if (!output) std::freopen("CONOUT$", "w", stdout);
    if (!error) std::freopen("CONOUT$", "w", stderr);
    return true;
}

}  // namespace platform
