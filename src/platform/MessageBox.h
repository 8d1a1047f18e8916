#pragma once
// The modal message box of the fatal error report, and the pointer.
#include <string>

namespace platform {

// Shows a modal box with an error icon, the caption and the text, owned by no window, and waits
// until the user dismisses it (Return, Escape or its button). Returns false without waiting when
// no box can be shown (no display), or when the environment variable VX_MESSAGE_BOX is "0" (set
// where nobody could see the box, such as a virtual display).
bool showErrorBox(const std::string& caption, const std::string& text);

// Shows or hides the mouse pointer over the program's windows.
void showPointer(bool visible);

}  // namespace platform
