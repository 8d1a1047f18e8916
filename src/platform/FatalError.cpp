#include "platform/FatalError.h"

#include <cstdio>
#include <utility>

#include "platform/MessageBox.h"

namespace platform {

namespace {
FatalErrorHandler& handlerSlot() {
    static FatalErrorHandler handler;
    return handler;
}
}  // namespace

FatalErrorHandler setFatalErrorHandler(FatalErrorHandler handler) {
    return std::exchange(handlerSlot(), std::move(handler));
}

void reportFatalError(const std::string& text) {
    if (handlerSlot()) {
        handlerSlot()(text);
        return;
    }
    // stderr first, so the text is there even while the box waits (and where no box can show).
    std::fprintf(stderr, "Error: %s\n", text.c_str());
    std::fflush(stderr);
    showPointer(true);
    showErrorBox("Error", text);
    // The quit request of the original report is not posted: nothing ever reads it, and the
    // show goes on after the report.
}

}  // namespace platform
