// The soundtrack's mastering: the true-peak limiter, the loudness normalisation and the check of
// the encoded file that masters again when the encoder overshoots.
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>

#include "Dsp.h"
#include "Loudness.h"
#include "Mastering.h"
#include "Soundtrack.h"

namespace {

constexpr double kPi = 3.14159265358979;

// Interleaved stereo of `seconds`: a quiet 300 Hz tone, and from `burstFrom` for `burstLength`
// seconds a loud tone of `burstHz` sampled 45 degrees off its crests (its true peak lies between
// the samples, 3 dB above them).
std::vector<float> quietWithBurst(double seconds, double burstFrom, double burstLength, double burstHz, double burst) {
    const size_t frames = static_cast<size_t>(seconds * 44100);
    std::vector<float> out(2 * frames);
    for (size_t i = 0; i < frames; ++i) {
        const double x = static_cast<double>(i) / 44100;
        double v = 0.05 * std::sin(2.0 * kPi * 300.0 * x);
        if (x >= burstFrom && x < burstFrom + burstLength) v += burst * std::sin(2.0 * kPi * burstHz * x + kPi / 4.0);
        out[2 * i] = static_cast<float>(v);
        out[2 * i + 1] = static_cast<float>(-v);
    }
    return out;
}

double db(double linear) { return 20.0 * std::log10(linear); }

TEST(TruePeakLimiter, HoldsTheCeilingBetweenTheSamples) {
    struct Case {
        double burstHz, burst;
        float gain, ceiling;
    } cases[] = {
        {11025.0, 0.9, 1.0f, 0.8f},    // samples at 0.64, under the ceiling: only the true peak is over
        {11025.0, 2.0, 1.0f, 0.7f},    // far over, on samples and between them
        {5512.5, 0.9, 2.0f, 0.5f},     // the gain ahead of the limiter counts
        {80.0, 1.5, 1.0f, 0.85f},      // a low tone, peaks on samples
    };
    for (const Case& c : cases) {
        const std::vector<float> in = quietWithBurst(4.0, 1.0, 1.0, c.burstHz, c.burst);
        const std::vector<float> out = contentgen::limitTruePeak(in, c.gain, c.ceiling);
        ASSERT_EQ(out.size(), in.size());
        const contentgen::LoudnessFigures f = contentgen::measureLoudness(out);
        EXPECT_LE(f.truePeakDbtp, db(c.ceiling) + 0.1) << c.burstHz << " Hz";
        // The burst is limited, not silenced.
        EXPECT_GT(f.truePeakDbtp, db(c.ceiling) - 1.0) << c.burstHz << " Hz";
        // Well before the burst and well after the release the quiet tone is only scaled.
        for (size_t i : {size_t(2 * 22050), size_t(2 * 158760 + 1)})
            EXPECT_NEAR(out[i], in[i] * c.gain, 1e-5f) << c.burstHz << " Hz, sample " << i;
    }
}

TEST(TruePeakLimiter, LeavesSignalsUnderTheCeilingAlone) {
    const std::vector<float> in = quietWithBurst(2.0, 0.5, 0.5, 1000.0, 0.3);
    const std::vector<float> out = contentgen::limitTruePeak(in, 1.5f, 0.9f);
    for (size_t i = 0; i < in.size(); ++i) ASSERT_NEAR(out[i], in[i] * 1.5f, 1e-6f) << i;
}

TEST(TruePeakLimiter, FallsAheadOfThePeakNotAfterIt) {
    // One full-scale click in silence-level noise: the gain is down on the click's own sample.
    std::vector<float> in(2 * 44100, 0.01f);
    in[2 * 20000] = in[2 * 20000 + 1] = 1.0f;
    const std::vector<float> out = contentgen::limitTruePeak(in, 1.0f, 0.5f);
    EXPECT_LE(std::fabs(out[2 * 20000]), 0.5f + 1e-6f);
    EXPECT_LT(out[2 * 19990], 0.01f);            // already falling 10 samples ahead
    EXPECT_NEAR(out[2 * 19000], 0.01f, 1e-7f);   // untouched well before (look-ahead 1.5 ms)
}

TEST(Mastering, MeetsTheLoudnessTargetUnderTheCeiling) {
    struct Case {
        double target, ceilingDb, burst;
    } cases[] = {{-14.0, -2.0, 0.5}, {-20.0, -1.0, 1.5}, {-10.0, -3.0, 0.2}};
    const std::vector<float> quiet = quietWithBurst(12.0, 3.0, 6.0, 2000.0, 1.0);
    for (const Case& c : cases) {
        std::vector<float> mix = quiet;
        for (float& v : mix) v *= static_cast<float>(c.burst);
        const contentgen::MasterResult master = contentgen::masterMix(mix, c.target, c.ceilingDb);
        const contentgen::LoudnessFigures f = contentgen::measureLoudness(master.samples);
        EXPECT_NEAR(f.integratedLufs, c.target, 0.3) << c.target;
        EXPECT_NEAR(master.lufs, f.integratedLufs, 0.01) << c.target;
        EXPECT_LE(f.truePeakDbtp, c.ceilingDb + 0.1) << c.target;
    }
}

TEST(Mastering, SixteenBitConversionRoundsAndClamps) {
    const std::vector<float> master = {0.0f, 0.5f, -0.5f, 1.0f, -1.0f, 1.7f, -2.0f, 1.0f / 32768.0f, 0.4f / 32768.0f};
    const std::vector<int16_t> expected = {0, 16384, -16384, 32767, -32768, 32767, -32768, 1, 0};
    EXPECT_EQ(contentgen::toPcm16(master), expected);
}

// A dense, band-limited mix (chords of saws and noise under 8 kHz, a drum hit on every beat
// that the limiter has to hold) of `seconds`, at `quiet` times its level but for the loud
// stretch in the middle third.
std::vector<float> denseMix(double seconds, float quiet) {
    const size_t frames = static_cast<size_t>(seconds * 44100);
    std::vector<float> out(2 * frames);
    contentgen::Saw saws[3];
    const float hz[3] = {110.0f, 164.8f, 220.0f};
    contentgen::Noise noise(99);
    contentgen::Svf tone[2], hiss[2];
    for (int c = 0; c < 2; ++c) {
        tone[c].set(6000.0f, 0.29f);
        hiss[c].set(8000.0f, 0.29f);
    }
    for (size_t i = 0; i < frames; ++i) {
        const bool loud = i >= frames / 3 && i < 2 * frames / 3;
        float chord = 0.0f;
        for (int k = 0; k < 3; ++k) chord += saws[k].next(hz[k] / 44100.0f);
        const double sinceBeat = static_cast<double>(i % 18250) / 44100;
        const float hit = static_cast<float>(3.0 * std::sin(2.0 * kPi * 180.0 * sinceBeat) * std::exp(-sinceBeat / 0.05));
        for (int c = 0; c < 2; ++c)
            out[2 * i + c] =
                (tone[c].lowpass(0.3f * chord) + 0.5f * hiss[c].lowpass(noise.next()) + hit) * (loud ? 1.0f : quiet);
    }
    return out;
}

// A first ceiling with no room for the encoder's overshoot: the decoded file peaks over the
// limit, so the mix is mastered again under a lower ceiling until it fits.
TEST(CheckedEncoding, MastersAgainUntilTheDecodedFileFits) {
    std::vector<std::string> stages;
    const contentgen::EncodedSoundtrack out = contentgen::encodeChecked(
        denseMix(24.0, 0.2f), -0.1, [&](const char* stage, double) {
            if (stages.empty() || stages.back() != stage) stages.push_back(stage);
        });
    EXPECT_GE(out.masters, 2);
    EXPECT_LE(out.ceilingDbtp, -0.1 - 0.3 + 1e-9);  // lowered at least by the margin
    EXPECT_LE(out.decoded.truePeakDbtp, contentgen::kMaxTruePeakDbtp);
    EXPECT_EQ(out.decoded.fullScaleSamples, 0);
    EXPECT_NEAR(out.decoded.integratedLufs, contentgen::kTargetLufs, contentgen::kLoudnessToleranceLu);
    EXPECT_GE(out.decoded.rangeLu, contentgen::kMinLoudnessRangeLu);
    // What was kept is what was measured.
    const contentgen::LoudnessFigures again = contentgen::measureLoudness(contentgen::decodeMp3(out.mp3));
    EXPECT_EQ(again.truePeakDbtp, out.decoded.truePeakDbtp);
    const std::vector<std::string> cycle = {"mastering", "MP3 encoding", "checking"};
    ASSERT_EQ(stages.size(), cycle.size() * static_cast<size_t>(out.masters));
    for (size_t k = 0; k < stages.size(); ++k) EXPECT_EQ(stages[k], cycle[k % 3]) << k;
}

TEST(CheckedEncoding, RefusesAMixWithoutContrast) {
    try {
        contentgen::encodeChecked(denseMix(12.0, 1.0f), contentgen::kMasterCeilingDbtp, nullptr);
        ADD_FAILURE() << "a mix of one level passed";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("loudness range"), std::string::npos) << e.what();
    }
}

}  // namespace
