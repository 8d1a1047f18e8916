#pragma once
// The sound output device: 16-bit signed stereo samples pulled by a callback that runs on the
// device's own thread. createSdlAudioDevice() gives the real one; tests drive a fake.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform {

class AudioDevice {
public:
    // Fills `bytes` bytes of interleaved little-endian int16 stereo frames. Runs on the device
    // thread: it must not block for long and must not touch anything the main thread may free
    // while the device is open.
    using Callback = std::function<void(std::uint8_t* out, int bytes)>;

    virtual ~AudioDevice() = default;
    // Opens the default output at `frequency` Hz, 16-bit stereo, paused. False (reason in
    // lastError) when no device can be opened at exactly that format.
    virtual bool open(int frequency, Callback callback) = 0;
    virtual void resume() = 0;  // the callback starts to be called
    virtual void pause() = 0;   // output continues with silence; the callback is not called
    // Closes the device. When it returns the callback has finished and is never called again.
    virtual void close() = 0;
    virtual std::string lastError() const = 0;
};

std::unique_ptr<AudioDevice> createSdlAudioDevice();

}  // namespace platform
