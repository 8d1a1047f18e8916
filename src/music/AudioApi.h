#pragma once
// The audio library the soundtrack plays through: the handful of operations the show uses, with
// the results it relies on. AudioLibrary is the real one; tests substitute a recording fake.
#include <cstdint>
#include <string>

namespace music {

using StreamHandle = std::uint32_t;  // 0: no stream

class AudioApi {
public:
    virtual ~AudioApi() = default;
    // The library's version: 0x60001 stands for version 1.6, the one the show was made with.
    virtual std::uint32_t version() const = 0;
    // Opens the default output device at `frequency` Hz, 16-bit stereo. False when no device
    // can be opened; streams can still be created, and nothing is heard.
    virtual bool init(int frequency) = 0;
    // Opens an MP3 file (path relative to the working directory; '\' or '/' separators) as a
    // stream decoding to the device format, with an index for sample-exact seeking. 0 when the
    // file cannot be opened or holds no MPEG audio.
    virtual StreamHandle streamCreateFile(const std::string& path) = 0;
    // Starts (or resumes) the device output.
    virtual bool start() = 0;
    // Starts the stream from its current position (its beginning when new).
    virtual bool streamPlay(StreamHandle stream) = 0;
    // Moves the stream to a byte offset in its decoded data (4 bytes per stereo frame, rounded
    // down to a frame). A negative offset is refused (false) and the stream goes on where it was.
    virtual bool channelSetPosition(StreamHandle stream, std::int64_t bytes) = 0;
    // Master output volume in percent (0 to 100).
    virtual bool setVolume(int percent) = 0;
    // Stops all output; the device goes on with silence.
    virtual bool stop() = 0;
    // Closes the device and releases every stream.
    virtual void free() = 0;
};

}  // namespace music
