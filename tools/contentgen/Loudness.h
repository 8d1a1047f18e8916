#pragma once
// Loudness and peaks of the soundtrack as a listener's player meets them: EBU R 128 loudness,
// loudness range and true peak through libebur128, and the MP3 decoding (libmpg123, gapless)
// that checks what the encoder made of the master.
#include <cstdint>
#include <string>
#include <vector>

namespace contentgen {

struct LoudnessFigures {
    double integratedLufs = 0.0;   // programme loudness (gated), LUFS; -HUGE_VAL for silence
    double rangeLu = 0.0;          // loudness range (10th to 95th percentile of short-term loudness), LU
    double truePeakDbtp = 0.0;     // highest true peak of either channel (4x oversampled), dBTP
    double samplePeakDbfs = 0.0;   // highest sample of either channel, dBFS
    int64_t fullScaleSamples = 0;  // samples that reach 16-bit full scale or beyond (|x| >= 32767 / 32768)
    double lowShare = 0.0;         // share of the energy below 250 Hz (4th-order Butterworth split), 0 ... 1
};

// Measures interleaved stereo samples at 44,100 Hz, full scale 1.0 (values beyond it count as
// overs, not clipped). Throws std::runtime_error when libebur128 fails.
LoudnessFigures measureLoudness(const std::vector<float>& interleaved);

// The figures in one line: "-14.0 LUFS, range 7.1 LU, true peak -1.6 dBTP, 0 full-scale
// samples, 41% of the energy below 250 Hz".
std::string describeLoudness(const LoudnessFigures& figures);

// The integrated loudness alone (LUFS), quicker than the full set.
double integratedLoudness(const std::vector<float>& interleaved);

// Decodes an MP3 held in memory to interleaved stereo samples at 44,100 Hz, full scale 1.0 and
// never clipped, with the encoder's delay and padding dropped (LAME info tag). Throws
// std::runtime_error when the data do not decode to 44,100 Hz stereo.
std::vector<float> decodeMp3(const std::vector<uint8_t>& mp3);

}  // namespace contentgen
