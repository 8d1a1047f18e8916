// Where the synthesiser puts sound in the file, and the master volume over the show.
#include <gtest/gtest.h>

#include <cmath>

#include "Score.h"
#include "Soundtrack.h"
#include "SoundtrackTiming.h"
#include "Synth.h"

namespace {

// File sample at which scene time t must sound: beat b = t + 1 plays at b * 60000 / 145 - 400 ms
// (the program's clock runs 400 ms ahead of the file).
long expectedSample(double t) { return std::lround(((t + 1.0) * 60000.0 / 145.0 - 400.0) * 44.1); }

TEST(SynthPlacement, KickStartsOnItsBeatToTheSample) {
    const double times[] = {0.0, 2.0, 4.5, 7.25};  // apart by more than a kick's length
    contentgen::Synth synth(static_cast<size_t>(4 * 44100));
    for (double t : times) synth.kick(t, 1.0f);
    const auto& l = synth.dry.l;
    long previousEnd = 0;
    for (double t : times) {
        const long start = expectedSample(t);
        ASSERT_GE(start, previousEnd);
        // Silence (or the previous kick's tail, which ends before the beat) right up to the
        // onset, then sound from the onset on.
        EXPECT_EQ(l[start - 1], 0.0f) << "t " << t;
        float early = 0.0f;
        for (long i = start; i < start + 20; ++i) early = std::max(early, std::fabs(l[i]));
        EXPECT_GT(early, 0.05f) << "t " << t;
        previousEnd = start;
    }
    EXPECT_EQ(synth.kicks(), std::vector<double>(std::begin(times), std::end(times)));
}

TEST(SynthPlacement, NotesReachingBeforeTheFileStartAreCut) {
    // t = -1 sounds 400 ms before the file starts: only the tail lands in the file.
    contentgen::Synth synth(static_cast<size_t>(44100));
    synth.crash(-1.0, 1.0f);
    EXPECT_NE(synth.dry.l[0], 0.0f);
    EXPECT_EQ(expectedSample(-1.0), -17640);
}

TEST(SoundtrackScore, KicksFollowTheBeatGridThroughTheShow) {
    const std::vector<double> kicks = contentgen::soundtrackKicks();
    ASSERT_GT(kicks.size(), 300u);
    for (double t : kicks) {
        EXPECT_EQ(t, std::floor(t)) << "kick off the beat at t " << t;
        EXPECT_GE(t, 32.0) << "no beat during the fade in";
        EXPECT_LE(t, 576.0);
    }
}

TEST(SoundtrackScore, MasterVolumeFadesInAndStillSoundsAtTheEnd) {
    struct Case {
        double t;
        float gain;
    } cases[] = {{-1.0, 0.0f}, {0.0, 0.0f}, {16.0, 0.25f}, {32.0, 1.0f}, {400.0, 1.0f}, {575.9, 1.0f},
                 {607.0, 0.141f}};
    for (const Case& c : cases) EXPECT_NEAR(contentgen::masterGain(c.t), c.gain, 0.002f) << "t " << c.t;
    // Sound goes on past beat 608 (t 607) and reaches silence only at the file's end.
    const double end = contentgen::secondsToSceneTime(contentgen::kSoundtrackSeconds);
    EXPECT_GE(contentgen::kSoundtrackSeconds, 252.0);
    EXPECT_GT(contentgen::masterGain(end - 2.0), 0.01f);
    EXPECT_NEAR(contentgen::masterGain(end), 0.0f, 1e-6f);
}

}  // namespace
