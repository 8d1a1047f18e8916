#pragma once
// The soundtrack: one MP3 file played through the audio library. It supplies no clock: the main
// loop times the show with the tick counter and only pushes its own time into the soundtrack
// when it seeks. The playing position is never read back.
#include <cstdint>
#include <memory>
#include <string>

#include "music/AudioApi.h"
#include "platform/Clock.h"

namespace music {

class MusicTrack {
public:
    static constexpr int frequency = 44100;  // 16-bit stereo: 176.4 bytes per millisecond

    // Checks the library version (fatal report "Bass versin 1.6 was not loaded" otherwise, and
    // goes on) and opens the output device (fatal report "Cannot initialize device"; the track
    // stays usable and plays silently). The default uses the real library and clock.
    MusicTrack();
    MusicTrack(std::unique_ptr<AudioApi> api, platform::Clock& clock);
    // Releases the library: the device and every stream.
    virtual ~MusicTrack();
    MusicTrack(const MusicTrack&) = delete;
    MusicTrack& operator=(const MusicTrack&) = delete;

    // Opens the file as a stream; fatal report "Cannot load the music" when it cannot, and stream
    // stays 0 (playing and seeking then do nothing audible).
    void load(const std::string& path);
    // Starts the output and the stream from its beginning.
    void play();
    // Moves the stream to music time ms. A negative ms is refused by the library and playback
    // continues where it was.
    void seek(std::int32_t ms);
    // The master volume from 100 % down to 0 in 21 steps of 5, 1 ms apart, then all output stops.
    void fadeOutAndStop();

    // The decoded byte position of music time ms: ms * 1764 / 10, truncated toward zero
    // (1,000 ms -> 176,400). Computed in 64 bits, so every ms keeps its sign.
    static std::int64_t positionForMs(std::int32_t ms);

    StreamHandle stream = 0;

private:
    std::unique_ptr<AudioApi> api_;
    platform::Clock& clock_;
};

}  // namespace music
