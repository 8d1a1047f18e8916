// Where the synthesiser puts sound in the file, and the master volume and the sections'
// dynamics over the show.
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

// The arrangement's dynamics: never a boost (the limiter would only take it back), the loud
// moments at full level, the quiet sections well under them, and no sudden drop within a section.
TEST(SoundtrackScore, SectionsContrastQuietAgainstLoud) {
    auto db = [](double t) { return 20.0 * std::log10(contentgen::sectionGain(t)); };
    for (double t = -1.0; t < 620.0; t += 0.25) EXPECT_LE(contentgen::sectionGain(t), 1.0f) << "t " << t;
    struct Case {
        double quiet, loud, atLeastDb;
    } cases[] = {{40.0, 270.0, 3.0},    // the first groove against the drop
                 {360.0, 330.0, 6.0},   // the breakdown against the burst before it
                 {490.0, 430.0, 6.0},   // the credits' bells against the climax
                 {520.0, 570.0, 3.0}};  // the credits' beat against the finale
    for (const Case& c : cases) EXPECT_GE(db(c.loud) - db(c.quiet), c.atLeastDb) << c.quiet << " vs " << c.loud;
    for (double t : {270.0, 330.0, 430.0, 575.9}) EXPECT_NEAR(db(t), 0.0, 0.5) << "t " << t;
    // Within a 32-beat section the level moves by under 3 dB per beat; steps fall on the
    // sections' first beats.
    for (double t = 0.0; t < 608.0; t += 0.25) {
        if (std::fmod(t + 0.25, 32.0) == 0.0) continue;
        EXPECT_LT(std::fabs(db(t + 0.25) - db(t)), 0.75) << "t " << t;
    }
}

}  // namespace
