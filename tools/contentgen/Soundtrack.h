#pragma once
// The soundtrack: synthesis of the whole piece to 16-bit stereo PCM and its MP3 encoding.
#include <cstdint>
#include <functional>
#include <vector>

namespace contentgen {

// Called with the fraction done, 0 ... 1.
using ProgressFn = std::function<void(double)>;

struct Soundtrack {
    std::vector<int16_t> pcm;   // interleaved left, right; kSoundtrackSamples frames at 44,100 Hz
    std::vector<double> kicks;  // scene times of the kick drums, ascending
};

// Renders the piece. Deterministic: the same samples on every run.
Soundtrack renderSoundtrack(const ProgressFn& progress);

// The scene times of the piece's kick drums, ascending, without rendering anything.
std::vector<double> soundtrackKicks();

// MP3 bit rate and LAME quality setting (0 best ... 9 fastest).
constexpr int kMp3Kbps = 192;
constexpr int kLameQuality = 3;

// Encodes interleaved 44,100 Hz stereo PCM as constant-bit-rate MP3 with LAME, with the LAME
// info tag in the first frame so that gapless decoders drop the encoder delay and padding and
// hand back exactly the samples given here. Throws std::runtime_error on encoder failure.
std::vector<uint8_t> encodeMp3(const std::vector<int16_t>& pcm, const ProgressFn& progress);

}  // namespace contentgen
