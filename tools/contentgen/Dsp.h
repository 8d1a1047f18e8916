#pragma once
// Small signal-processing pieces for the soundtrack's synthesiser. Everything is single
// precision, allocation-free per sample, and deterministic.
#include <cmath>
#include <cstdint>
#include <vector>

namespace contentgen {

constexpr int kSampleRate = 44100;
constexpr float kTwoPi = 6.28318530718f;

inline float midiToHz(float note) { return 440.0f * std::exp2((note - 69.0f) / 12.0f); }

// Band-limited sawtooth (polyBLEP): -1 ... 1, phase 0 ... 1.
struct Saw {
    float phase = 0.0f;
    float next(float inc) {
        float t = phase;
        float v = 2.0f * t - 1.0f;
        if (t < inc) {
            t /= inc;
            v -= t + t - t * t - 1.0f;
        } else if (t > 1.0f - inc) {
            t = (t - 1.0f) / inc;
            v -= t * t + t + t + 1.0f;
        }
        phase += inc;
        if (phase >= 1.0f) phase -= 1.0f;
        return v;
    }
};

// State-variable filter (trapezoidal integration): stable at every cutoff below Nyquist.
struct Svf {
    float ic1 = 0.0f, ic2 = 0.0f;
    float g = 0.0f, k = 1.0f, a1 = 0.0f, a2 = 0.0f, a3 = 0.0f;
    // cutoff in Hz, resonance 0 (none) ... ~0.95 (sharp peak).
    void set(float cutoff, float resonance) {
        cutoff = std::fmin(std::fmax(cutoff, 20.0f), 0.45f * kSampleRate);
        g = std::tan(3.14159265f * cutoff / kSampleRate);
        k = 2.0f - 2.0f * resonance;
        a1 = 1.0f / (1.0f + g * (g + k));
        a2 = g * a1;
        a3 = g * a2;
    }
    // Processes one sample; low, band and high outputs.
    void run(float in, float& low, float& band, float& high) {
        const float v3 = in - ic2;
        const float v1 = a1 * ic1 + a2 * v3;
        const float v2 = ic2 + a2 * ic1 + a3 * v3;
        ic1 = 2.0f * v1 - ic1;
        ic2 = 2.0f * v2 - ic2;
        low = v2;
        band = v1;
        high = in - k * v1 - v2;
    }
    float lowpass(float in) {
        float l, b, h;
        run(in, l, b, h);
        return l;
    }
    float highpass(float in) {
        float l, b, h;
        run(in, l, b, h);
        return h;
    }
    float bandpass(float in) {
        float l, b, h;
        run(in, l, b, h);
        return b;
    }
};

// White noise from a 32-bit xorshift: -1 ... 1.
struct Noise {
    uint32_t state;
    explicit Noise(uint32_t seed) : state(seed ? seed : 0x9E3779B9u) {}
    float next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<float>(static_cast<int32_t>(state)) * (1.0f / 2147483648.0f);
    }
};

// A stereo signal, or a full-length bus of the mix.
struct Stereo {
    std::vector<float> l, r;
    Stereo() = default;
    explicit Stereo(size_t n) : l(n, 0.0f), r(n, 0.0f) {}
    size_t size() const { return l.size(); }
};

// Freeverb-style stereo reverb: eight damped comb filters and four all-passes per side.
class Reverb {
public:
    Reverb(float roomSize, float damping);
    // Adds the reverberated input (a mono mix of in) times wet into out, sample by sample.
    void process(const Stereo& in, Stereo& out, float wet);

private:
    struct Comb {
        std::vector<float> buf;
        size_t pos = 0;
        float store = 0.0f;
    };
    struct AllPass {
        std::vector<float> buf;
        size_t pos = 0;
    };
    Comb combs_[2][8];
    AllPass allPasses_[2][4];
    float feedback_, damp_;
};

// Stereo ping-pong delay with a low-passed feedback path.
void pingPongDelay(const Stereo& in, Stereo& out, int delaySamples, float feedback, float wet);

}  // namespace contentgen
