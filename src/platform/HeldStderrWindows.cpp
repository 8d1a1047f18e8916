// Standard error held in a temporary file that the system deletes when it is closed.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "platform/HeldStderr.h"

namespace platform {

namespace {

constexpr int kStderr = 2;

// A new, empty temporary file open for reading and writing, deleted on close; -1 when none.
int openTemporary() {
    wchar_t folder[MAX_PATH + 1];
    wchar_t name[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH || GetTempFileNameW(folder, L"vxe", 0, name) == 0) return -1;
    const int fd = _wopen(name, _O_RDWR | _O_BINARY | _O_TEMPORARY | _O_NOINHERIT);
    if (fd < 0) DeleteFileW(name);
    return fd;
}

}  // namespace

HeldStderr::HeldStderr() {
    std::fflush(stderr);
    buffer_ = openTemporary();
    if (buffer_ < 0) return;
    saved_ = _dup(kStderr);
    if (saved_ < 0 || _dup2(buffer_, kStderr) < 0) {
        if (saved_ >= 0) _close(saved_);
        _close(buffer_);
        saved_ = buffer_ = -1;
    }
}

std::string HeldStderr::release() {
    if (saved_ < 0) return std::string();
    std::fflush(stderr);
    _dup2(saved_, kStderr);
    _close(saved_);
    saved_ = -1;
    std::string text;
    char chunk[4096];
    int n = 0;
    if (_lseeki64(buffer_, 0, SEEK_SET) == 0) {
        while ((n = _read(buffer_, chunk, sizeof chunk)) > 0) text.append(chunk, static_cast<std::size_t>(n));
    }
    _close(buffer_);
    buffer_ = -1;
    return text;
}

}  // namespace platform
