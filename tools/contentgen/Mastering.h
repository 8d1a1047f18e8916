#pragma once
// The soundtrack's mastering: one gain to the loudness target, then a true-peak limiter, so that
// the master is as loud as streaming players expect and leaves the MP3 encoder headroom for the
// overshoot its filtering and quantisation add.
#include <cstdint>
#include <vector>

namespace contentgen {

// The limiter's gain reduction: the highest of the samples and of the values a 4x
// oversampling reconstructs between them is held at or under `ceiling` (linear, full scale 1.0).
// The gain falls ahead of each peak over 1.5 ms (look-ahead, no distortion of the attack) and
// recovers with a time constant of 120 ms. `in` is interleaved stereo at 44,100 Hz, scaled by
// `gain` first; one gain curve serves both channels, so the stereo image stays put. Deterministic.
std::vector<float> limitTruePeak(const std::vector<float>& in, float gain, float ceiling);

struct MasterResult {
    std::vector<float> samples;  // interleaved stereo, full scale 1.0
    double gainDb = 0.0;         // gain applied ahead of the limiter
    double lufs = 0.0;           // integrated loudness of the master (before encoding)
};

// Brings the mix to `targetLufs` under a true-peak ceiling of `ceilingDbtp`: the gain that the
// loudness meter calls for, corrected once for the loudness the limiter takes away.
MasterResult masterMix(const std::vector<float>& mix, double targetLufs, double ceilingDbtp);

// 16-bit PCM of a master (rounded; anything beyond full scale is clamped).
std::vector<int16_t> toPcm16(const std::vector<float>& master);

}  // namespace contentgen
