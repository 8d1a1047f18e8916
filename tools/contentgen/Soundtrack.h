#pragma once
// The soundtrack: synthesis of the whole piece, its mastering to 16-bit stereo PCM and its MP3
// encoding, checked by decoding it again.
#include <cstdint>
#include <functional>
#include <vector>

#include "Loudness.h"

namespace contentgen {

// Called with the fraction done, 0 ... 1.
using ProgressFn = std::function<void(double)>;

struct Soundtrack {
    std::vector<int16_t> pcm;   // interleaved left, right; kSoundtrackSamples frames at 44,100 Hz
    std::vector<double> kicks;  // scene times of the kick drums, ascending
};

// Where the master must land, measured on the decoded MP3 (EBU R 128).
constexpr double kTargetLufs = -14.0;          // integrated loudness
constexpr double kLoudnessToleranceLu = 1.0;   // either side of the target
constexpr double kMaxTruePeakDbtp = -1.0;      // highest true peak after decoding
constexpr double kMinLoudnessRangeLu = 6.0;    // contrast between the quiet and the loud sections
// The limiter's first ceiling: low enough that the encoder's overshoot stays under the limit.
constexpr double kMasterCeilingDbtp = -2.3;

// The mix before mastering: interleaved stereo, kSoundtrackSamples frames, with the sections'
// dynamics and the fades in and out. Deterministic. progress runs 0 ... 1.
std::vector<float> mixSoundtrack(const ProgressFn& progress);

// Renders the piece and masters it to kTargetLufs under kMasterCeilingDbtp. Deterministic: the
// same samples on every run.
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

struct EncodedSoundtrack {
    std::vector<uint8_t> mp3;
    LoudnessFigures decoded;  // the MP3 decoded again, as a player meets it
    double ceilingDbtp = 0.0; // the limiter's ceiling of the master that was kept
    int masters = 0;          // how many masters it took (1 unless the first one failed a check)
};

// Called with the stage ("synthesis", "mastering", "MP3 encoding", "checking") and the fraction
// of it done.
using StageProgressFn = std::function<void(const char* stage, double fraction)>;

// The soundtrack file: renders the piece and hands the mix to encodeChecked under
// kMasterCeilingDbtp.
EncodedSoundtrack produceSoundtrack(const StageProgressFn& progress);

// Masters a mix (interleaved stereo) under firstCeilingDbtp, encodes it, decodes the MP3 and
// measures it. A master whose decoded file peaks above kMaxTruePeakDbtp, has full-scale samples,
// or misses kTargetLufs by more than kLoudnessToleranceLu is made again with the ceiling lowered
// by the excess and 0.3 dB (or the target moved by the miss), at most four masters. Throws
// std::runtime_error when no master meets the limits, when the loudness range is under
// kMinLoudnessRangeLu (a fault of the arrangement, which no mastering mends), or when encoding
// or decoding fails or loses frames. Deterministic.
EncodedSoundtrack encodeChecked(const std::vector<float>& mix, double firstCeilingDbtp, const StageProgressFn& progress);

}  // namespace contentgen
