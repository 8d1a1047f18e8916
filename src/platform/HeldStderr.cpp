// The parts of holding standard error that are the same on every system.
#include "platform/HeldStderr.h"

#include <cstdio>

namespace platform {

HeldStderr::~HeldStderr() { release(); }

void HeldStderr::replay() {
    const std::string text = release();
    if (text.empty()) return;
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

}  // namespace platform
