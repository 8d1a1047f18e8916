#pragma once
// Where the music sits in time. The program's clock runs 400 ms ahead of the soundtrack's
// position (the clock reads 400 when playback starts), so beat b, clock b * 60000 / 145 ms,
// must sound at file position b * 60000 / 145 - 400 ms. The score counts scene time t = b - 1,
// the unit every picture window is stated in.
#include <cmath>
#include <cstdint>

#include "Dsp.h"

namespace contentgen {

constexpr double kBeatsPerMinute = 145.0;
constexpr double kClockLeadMs = 400.0;
// Length of the file: the show stops at beat 608 (251,186 ms into the file) and then fades the
// sound out; the ending's tail runs on past that.
constexpr double kSoundtrackSeconds = 254.0;
constexpr int64_t kSoundtrackSamples = static_cast<int64_t>(kSoundtrackSeconds * kSampleRate);

// File position in seconds at which scene time t sounds.
inline double sceneTimeToSeconds(double t) { return (t + 1.0) * 60.0 / kBeatsPerMinute - kClockLeadMs / 1000.0; }
// The same as a sample index (rounded to the nearest sample; may be negative before the file).
inline int64_t sceneTimeToSample(double t) { return std::llround(sceneTimeToSeconds(t) * kSampleRate); }
// Scene time at a file position in seconds.
inline double secondsToSceneTime(double s) { return (s + kClockLeadMs / 1000.0) * kBeatsPerMinute / 60.0 - 1.0; }
inline double beatsToSeconds(double beats) { return beats * 60.0 / kBeatsPerMinute; }

}  // namespace contentgen
