#pragma once
// An MP3 file decoded on demand to 44,100 Hz interleaved int16 stereo (libmpg123), with the whole
// file indexed at open so that seeking lands on the exact sample frame.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct mpg123_handle_struct;

namespace music {

class Mp3Stream {
public:
    static constexpr int sampleRate = 44100;

    // Opens and indexes the file. Null, with the reason in *error, when the file cannot be read
    // or holds no MPEG audio that decodes to the output format.
    static std::unique_ptr<Mp3Stream> open(const std::string& path, std::string* error = nullptr);
    ~Mp3Stream();
    Mp3Stream(const Mp3Stream&) = delete;
    Mp3Stream& operator=(const Mp3Stream&) = delete;

    // Decodes up to `frames` stereo frames into out (2 * frames samples). Returns the frames
    // written; fewer only at the end of the stream (or on a decoding error, which ends it).
    std::size_t read(std::int16_t* out, std::size_t frames);
    // Moves to stereo frame `frame` (0 = the first decoded frame). Past the end the stream is
    // at its end. False when frame is negative or the decoder refuses.
    bool seek(std::int64_t frame);
    // Decoded length in frames.
    std::int64_t length() const { return length_; }
    bool ended() const { return ended_; }

private:
    Mp3Stream() = default;
    mpg123_handle_struct* handle_ = nullptr;
    std::int64_t length_ = 0;
    bool ended_ = false;
};

}  // namespace music
