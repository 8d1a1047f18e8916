#pragma once
// The program-wide fatal error report. It sits in the platform layer because everything above
// uses it: the window, the loaders of the assets and the soundtrack.
#include <functional>
#include <string>

namespace platform {

// Prints "Error: <text>" on stderr, shows the pointer and puts up a modal box captioned "Error"
// with the text (where a display can show one), waits until the user dismisses it, then returns
// to the caller, which goes on with its next step.
void reportFatalError(const std::string& text);

// Replaces what reportFatalError does (tests record the texts instead of showing a box).
// Returns the handler in force before; an empty handler restores the real report.
using FatalErrorHandler = std::function<void(const std::string&)>;
FatalErrorHandler setFatalErrorHandler(FatalErrorHandler handler);

}  // namespace platform
