// The soundtrack's meter and the decoder that checks the encoded file.
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "Loudness.h"
#include "Soundtrack.h"

namespace {

constexpr double kPi = 3.14159265358979;

// Interleaved stereo: the same sine on both sides, `seconds` long.
std::vector<float> sine(double hz, double amplitude, double seconds, double phase = 0.0) {
    const size_t frames = static_cast<size_t>(seconds * 44100);
    std::vector<float> out(2 * frames);
    for (size_t i = 0; i < frames; ++i)
        out[2 * i] = out[2 * i + 1] = static_cast<float>(amplitude * std::sin(2.0 * kPi * hz * i / 44100.0 + phase));
    return out;
}

// The reference reading of EBU Tech 3341: a 1 kHz sine at -23 dBFS in both channels reads -23 LUFS.
TEST(Loudness, ReferenceSineReadsItsLevel) {
    const contentgen::LoudnessFigures f = contentgen::measureLoudness(sine(1000.0, std::pow(10.0, -23.0 / 20.0), 20.0));
    EXPECT_NEAR(f.integratedLufs, -23.0, 0.1);
    EXPECT_NEAR(f.rangeLu, 0.0, 0.1);  // a steady tone has no loudness range
    EXPECT_NEAR(f.samplePeakDbfs, -23.0, 0.05);
    EXPECT_EQ(f.fullScaleSamples, 0);
}

// A quarter-rate sine sampled 45 degrees off its crests: every sample is at 0.707, the waveform
// between them reaches 1.0. The true peak sees it, the sample peak does not.
TEST(Loudness, TruePeakFindsTheCrestBetweenSamples) {
    const contentgen::LoudnessFigures f = contentgen::measureLoudness(sine(11025.0, 1.0, 2.0, kPi / 4.0));
    EXPECT_NEAR(f.samplePeakDbfs, -3.01, 0.05);
    EXPECT_GT(f.truePeakDbtp, -0.5);
    EXPECT_EQ(f.fullScaleSamples, 0);
}

TEST(Loudness, ShareBelow250HzSplitsTheSpectrum) {
    struct Case {
        double hz, low, high;
    } cases[] = {{60.0, 0.99, 1.0}, {120.0, 0.99, 1.0}, {250.0, 0.45, 0.55}, {1000.0, 0.0, 0.01}, {8000.0, 0.0, 1e-4}};
    for (const Case& c : cases) {
        const double share = contentgen::measureLoudness(sine(c.hz, 0.5, 5.0)).lowShare;
        EXPECT_GE(share, c.low) << c.hz << " Hz";
        EXPECT_LE(share, c.high) << c.hz << " Hz";
    }
    // Equal energy at 100 Hz and 2 kHz: half of it below.
    std::vector<float> both = sine(100.0, 0.3, 5.0);
    const std::vector<float> high = sine(2000.0, 0.3, 5.0);
    for (size_t i = 0; i < both.size(); ++i) both[i] += high[i];
    EXPECT_NEAR(contentgen::measureLoudness(both).lowShare, 0.5, 0.02);
}

TEST(Loudness, CountsSamplesAtAndBeyondSixteenBitFullScale) {
    std::vector<float> signal = sine(440.0, 0.25, 1.0);
    const float marks[] = {1.0f, -1.0f, 32767.0f / 32768.0f, -1.3f, 32766.0f / 32768.0f, 0.99f};
    for (size_t k = 0; k < 6; ++k) signal[1000 * k + (k & 1)] = marks[k];
    EXPECT_EQ(contentgen::measureLoudness(signal).fullScaleSamples, 4);
}

// What the encoder writes decodes to the very number of frames it was given (the info tag's delay
// and padding are honoured), in step with the input, overs left unclipped.
TEST(Mp3Decoding, RoundTripIsGaplessAndInStep) {
    const std::vector<float> tone = sine(440.0, 0.5, 1.5);
    std::vector<int16_t> pcm(tone.size());
    for (size_t i = 0; i < tone.size(); ++i) pcm[i] = static_cast<int16_t>(std::lround(tone[i] * 32767.0f));
    const std::vector<float> decoded = contentgen::decodeMp3(contentgen::encodeMp3(pcm, nullptr));
    ASSERT_EQ(decoded.size(), pcm.size());
    double xy = 0.0, xx = 0.0, yy = 0.0;
    for (size_t i = 0; i < pcm.size(); ++i) {
        xy += tone[i] * decoded[i];
        xx += tone[i] * tone[i];
        yy += decoded[i] * decoded[i];
    }
    EXPECT_GT(xy / std::sqrt(xx * yy), 0.999);
}

TEST(Mp3Decoding, DataWithoutFramesIsRefused) {
    const std::vector<std::vector<uint8_t>> cases = {{}, std::vector<uint8_t>(4096, 0), {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 0}};
    for (const std::vector<uint8_t>& data : cases) EXPECT_THROW(contentgen::decodeMp3(data), std::runtime_error) << data.size();
}

}  // namespace
