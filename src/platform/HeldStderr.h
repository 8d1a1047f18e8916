#pragma once
// What the libraries under SDL (Wayland, Mesa, ALSA, PulseAudio) print on standard error while
// they look for a display, a GL driver or a sound device: held back while an object of this
// class lives, and shown only when the step it guards fails. Their notes about the environment
// ("XDG_RUNTIME_DIR is invalid or not set", drivers that were tried and not found) mean nothing
// to the user when the step succeeds anyway.
#include <string>

namespace platform {

class HeldStderr {
public:
    // Sends standard error (file descriptor 2) into a buffer of its own. When that cannot be
    // done, standard error stays as it is and nothing is held.
    HeldStderr();
    // Restores standard error and drops what was held (the guarded step succeeded).
    ~HeldStderr();
    HeldStderr(const HeldStderr&) = delete;
    HeldStderr& operator=(const HeldStderr&) = delete;

    // Restores standard error and returns what was printed meanwhile; later calls return "".
    std::string release();
    // Restores standard error and prints what was held there (the guarded step failed, and the
    // text may say why).
    void replay();

private:
    int saved_ = -1;   // the original standard error
    int buffer_ = -1;  // where standard error goes meanwhile
};

}  // namespace platform
