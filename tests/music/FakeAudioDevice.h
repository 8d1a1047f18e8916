#pragma once
// An output device the test pulls by hand: the callback runs on the test's thread when asked.
#include <cstdint>
#include <vector>

#include "platform/AudioDevice.h"

namespace testsupport {

struct DeviceState {
    bool opens = true;
    bool open = false;
    bool running = false;
    int frequency = 0;
    int closes = 0;
    platform::AudioDevice::Callback callback;
};

class FakeAudioDevice : public platform::AudioDevice {
public:
    explicit FakeAudioDevice(DeviceState& state) : state_(state) {}
    bool open(int frequency, Callback callback) override {
        if (!state_.opens) return false;
        state_.open = true;
        state_.frequency = frequency;
        state_.callback = std::move(callback);
        return true;
    }
    void resume() override { state_.running = true; }
    void pause() override { state_.running = false; }
    void close() override {
        ++state_.closes;
        state_.open = state_.running = false;
        state_.callback = nullptr;
    }
    std::string lastError() const override { return "fake"; }

private:
    DeviceState& state_;
};

// What the device would play next: `frames` stereo frames from the callback while it runs,
// silence while paused.
inline std::vector<std::int16_t> pull(DeviceState& state, std::size_t frames) {
    std::vector<std::int16_t> out(frames * 2, 0);
    if (state.open && state.running)
        state.callback(reinterpret_cast<std::uint8_t*>(out.data()), static_cast<int>(frames * 4));
    return out;
}

}  // namespace testsupport
