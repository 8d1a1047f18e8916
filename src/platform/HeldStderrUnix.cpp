// Standard error held in an anonymous memory file (memfd).
#include "platform/HeldStderr.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>

namespace platform {

HeldStderr::HeldStderr() {
    std::fflush(stderr);
    buffer_ = memfd_create("held-stderr", MFD_CLOEXEC);
    if (buffer_ < 0) return;
    saved_ = dup(STDERR_FILENO);
    if (saved_ < 0 || dup2(buffer_, STDERR_FILENO) < 0) {
        if (saved_ >= 0) close(saved_);
        close(buffer_);
        saved_ = buffer_ = -1;
    }
}


std::string HeldStderr::release() {
    if (saved_ < 0) return std::string();
    std::fflush(stderr);
    dup2(saved_, STDERR_FILENO);
    close(saved_);
    saved_ = -1;
    std::string text;
    char chunk[4096];
    ssize_t n;
    off_t offset = 0;
    while ((n = pread(buffer_, chunk, sizeof chunk, offset)) > 0) {
        text.append(chunk, static_cast<size_t>(n));
        offset += n;
    }
    close(buffer_);
    buffer_ = -1;
    return text;
}

}  // namespace platform
