#include "app/FatalError.h"

#include <cstdio>
#include <utility>

namespace app {

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
    std::fprintf(stderr, "Error: %s\n", text.c_str());
}

}  // namespace app
