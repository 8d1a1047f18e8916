// The sound output over SDL audio (whatever driver SDL picks: PulseAudio, ALSA, or the dummy and
// disk drivers where there is no sound card).
#include <SDL.h>

#include "platform/AudioDevice.h"
#include "platform/HeldStderr.h"

namespace platform {

namespace {

class SdlAudioDevice : public AudioDevice {
public:
    ~SdlAudioDevice() override { close(); }

    bool open(int frequency, Callback callback) override {
        close();
        // SDL tries PulseAudio, ALSA and others in turn; their libraries' notes on the ones that
        // are not there matter only when no device opens.
        HeldStderr held;
        if (!(SDL_WasInit(SDL_INIT_AUDIO) & SDL_INIT_AUDIO)) {
            if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
                held.replay();
                error_ = SDL_GetError();
                return false;
            }
            ownsSubsystem_ = true;
        }
        callback_ = std::move(callback);
        SDL_AudioSpec want{};
        want.freq = frequency;
        want.format = AUDIO_S16LSB;
        want.channels = 2;
        want.samples = 1024;  // about 23 ms per callback
        want.callback = &SdlAudioDevice::trampoline;
        want.userdata = this;
        SDL_AudioSpec have{};
        device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (device_ == 0) {
            held.replay();
            error_ = SDL_GetError();
            quitSubsystem();
            return false;
        }
        return true;
    }

    void resume() override {
        if (device_) SDL_PauseAudioDevice(device_, 0);
    }

    void pause() override {
        if (device_) SDL_PauseAudioDevice(device_, 1);
    }

    void close() override {
        if (device_) {
            SDL_CloseAudioDevice(device_);  // waits for the device thread to end
            device_ = 0;
        }
        callback_ = nullptr;
        quitSubsystem();
    }

    std::string lastError() const override { return error_; }

private:
    static void SDLCALL trampoline(void* self, Uint8* stream, int len) {
        static_cast<SdlAudioDevice*>(self)->callback_(stream, len);
    }

    void quitSubsystem() {
        if (ownsSubsystem_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
        ownsSubsystem_ = false;
    }

    SDL_AudioDeviceID device_ = 0;
    Callback callback_;
    bool ownsSubsystem_ = false;
    std::string error_;
};

}  // namespace

std::unique_ptr<AudioDevice> createSdlAudioDevice() { return std::make_unique<SdlAudioDevice>(); }

}  // namespace platform
