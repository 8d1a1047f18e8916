#pragma once
// The program's own audio library: MP3 streams (libmpg123) mixed into one output device at
// 44,100 Hz 16-bit stereo, with a master volume.
//
// Threads: every operation is called from the main thread; the device calls mix() on its own
// thread. They share the channel table under one mutex, held by the device thread only while it
// decodes one device buffer (about 23 ms of sound, well under a millisecond of work), so an
// operation never waits long. free() closes the device, which waits for a running mix() to
// return, before it releases any stream.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "music/AudioApi.h"
#include "music/Mp3Stream.h"
#include "platform/AudioDevice.h"

namespace music {

class AudioLibrary : public AudioApi {
public:
    static constexpr std::uint32_t libraryVersion = 0x60001;

    explicit AudioLibrary(std::unique_ptr<platform::AudioDevice> device = platform::createSdlAudioDevice());
    ~AudioLibrary() override;

    std::uint32_t version() const override { return libraryVersion; }
    bool init(int frequency) override;
    StreamHandle streamCreateFile(const std::string& path) override;
    bool start() override;
    bool streamPlay(StreamHandle stream) override;
    bool channelSetPosition(StreamHandle stream, std::int64_t bytes) override;
    bool setVolume(int percent) override;
    bool stop() override;
    void free() override;

    // Fills `bytes` bytes of output: every playing stream, summed with saturation, scaled by the
    // master volume. Silence when nothing plays. Runs on the device thread.
    void mix(std::uint8_t* out, int bytes);

private:
    struct Channel {
        std::unique_ptr<Mp3Stream> stream;
        bool playing = false;
    };

    std::unique_ptr<platform::AudioDevice> device_;
    bool deviceOpen_ = false;
    std::mutex mutex_;  // guards channels_ and volume_
    std::map<StreamHandle, Channel> channels_;
    int volume_ = 100;
    StreamHandle nextHandle_ = 1;
    std::vector<std::int16_t> decoded_;  // device thread only
    std::vector<std::int32_t> sum_;      // device thread only
};

}  // namespace music
