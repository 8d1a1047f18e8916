#include "Synth.h"

#include <algorithm>
#include <cmath>

#include "SoundtrackTiming.h"

namespace contentgen {
namespace {

constexpr float kInvRate = 1.0f / kSampleRate;

size_t samplesFor(double seconds) { return static_cast<size_t>(std::max(0.0, seconds) * kSampleRate); }

float softClip(float x) { return std::tanh(x); }

// Fills one mono kick at full velocity into out.
void renderKick(float* out, size_t n) {
    float phase = 0.0f;
    Noise noise(777);
    for (size_t i = 0; i < n; ++i) {
        const float x = i * kInvRate;
        const float f = 46.0f + 120.0f * std::exp(-x / 0.03f) + 480.0f * std::exp(-x / 0.0035f);
        const float amp = std::exp(-x / 0.15f) * (x < 0.32f ? 1.0f : std::max(0.0f, 1.0f - (x - 0.32f) / 0.07f));
        const float click = noise.next() * std::exp(-x / 0.0012f) * 0.25f;
        out[i] = softClip(1.9f * (std::sin(kTwoPi * phase) * amp + click)) * 0.82f;
        phase += f * kInvRate;
        if (phase >= 1.0f) phase -= 1.0f;
    }
}

// Six detuned square waves: the metallic body of hats, rides and cymbals.
struct Metal {
    float phases[6] = {0, 0.13f, 0.41f, 0.77f, 0.29f, 0.58f};
    float incs[6];
    explicit Metal(float base) {
        static const float ratios[6] = {1.0f, 1.4828f, 1.8003f, 2.5457f, 2.6305f, 3.8962f};
        for (int i = 0; i < 6; ++i) incs[i] = base * ratios[i] * kInvRate;
    }
    float next() {
        float s = 0.0f;
        for (int i = 0; i < 6; ++i) {
            s += phases[i] < 0.5f ? 1.0f : -1.0f;
            phases[i] += incs[i];
            if (phases[i] >= 1.0f) phases[i] -= 1.0f;
        }
        return s * (1.0f / 6.0f);
    }
};

}  // namespace

std::vector<float> kickTemplate(size_t samples) {
    std::vector<float> out(samples);
    renderKick(out.data(), samples);
    return out;
}

Synth::Synth(size_t length, Voices voices, const std::vector<float>* duck)
    : dry(length), reverbSend(length), delaySend(length), voices_(voices), duck_(duck) {}

Synth::Synth(ScoreOnly) : voices_(Voices::None) {}

Stereo& Synth::scratch(size_t n) {
    scratch_.l.assign(n, 0.0f);
    scratch_.r.assign(n, 0.0f);
    return scratch_;
}

void Synth::mix(int64_t start, size_t n, const Route& route) {
    const float* duck = route.duck && duck_ ? duck_->data() : nullptr;
    const int64_t length = static_cast<int64_t>(dry.size());
    const float* l = scratch_.l.data();
    const float* r = scratch_.r.data();
    const int64_t from = std::max<int64_t>(0, -start), to = std::min<int64_t>(static_cast<int64_t>(n), length - start);
    for (int64_t i = from; i < to; ++i) {
        const size_t d = static_cast<size_t>(start + i);
        const float vl = l[i] * route.gain, vr = r[i] * route.gain;
        const float g = duck ? duck[d] : 1.0f;
        dry.l[d] += vl * g;
        dry.r[d] += vr * g;
        if (route.reverb != 0.0f) {
            reverbSend.l[d] += vl * route.reverb;
            reverbSend.r[d] += vr * route.reverb;
        }
        if (route.delay != 0.0f) {
            delaySend.l[d] += vl * route.delay;
            delaySend.r[d] += vr * route.delay;
        }
    }
}

void Synth::kick(double t, float velocity) {
    kicks_.push_back(t);
    if (!renders(Voices::Rhythm)) return;
    const size_t n = samplesFor(0.45);
    Stereo& s = scratch(n);
    renderKick(s.l.data(), n);
    s.r = s.l;
    mix(sceneTimeToSample(t), n, {velocity * 0.6f, 0.04f, 0.0f, false});
}

void Synth::clap(double t, float velocity) {
    if (!renders(Voices::Rhythm)) return;
    const size_t n = samplesFor(0.4);
    Stereo& s = scratch(n);
    Noise nl(noiseSeed_++), nr(noiseSeed_++);
    Svf fl, fr;
    fl.set(1300.0f, 0.45f);
    fr.set(1450.0f, 0.45f);
    for (size_t i = 0; i < n; ++i) {
        const float x = i * kInvRate;
        float env = std::exp(-std::fmod(x, 0.0095f) / 0.0035f) * (x < 0.029f ? 1.0f : 0.0f);
        env += x >= 0.027f ? std::exp(-(x - 0.027f) / 0.11f) * 0.8f : 0.0f;
        s.l[i] = fl.bandpass(nl.next()) * env * 2.2f;
        s.r[i] = fr.bandpass(nr.next()) * env * 2.2f;
    }
    mix(sceneTimeToSample(t), n, {velocity * 1.2f, 0.28f, 0.0f, false});
}

void Synth::snare(double t, float velocity) {
    if (!renders(Voices::Rhythm)) return;
    const size_t n = samplesFor(0.3);
    Stereo& s = scratch(n);
    Noise nz(noiseSeed_++);
    Svf hp;
    hp.set(1700.0f, 0.1f);
    float phase = 0.0f;
    for (size_t i = 0; i < n; ++i) {
        const float x = i * kInvRate;
        const float body = std::sin(kTwoPi * phase) * std::exp(-x / 0.07f) * 0.6f;
        phase += (175.0f + 60.0f * std::exp(-x / 0.01f)) * kInvRate;
        const float rattle = hp.highpass(nz.next()) * std::exp(-x / 0.12f) * 0.9f;
        s.l[i] = s.r[i] = softClip(1.5f * (body + rattle)) * 0.7f;
    }
    mix(sceneTimeToSample(t), n, {velocity, 0.22f, 0.0f, false});
}

void Synth::hat(double t, float velocity, bool open) {
    if (!renders(Voices::Rhythm)) return;
    const float decay = open ? 0.2f : 0.038f;
    const size_t n = samplesFor(decay * 6.0f);
    Stereo& s = scratch(n);
    Metal metal(415.0f);
    Noise nz(noiseSeed_++);
    Svf hp1, hp2;
    hp1.set(7200.0f, 0.2f);
    hp2.set(9000.0f, 0.0f);
    const float pan = open ? 0.15f : -0.2f;
    for (size_t i = 0; i < n; ++i) {
        const float x = i * kInvRate;
        const float v = hp2.highpass(hp1.highpass(0.6f * metal.next() + 0.5f * nz.next())) * std::exp(-x / decay);
        s.l[i] = v * (1.0f - pan);
        s.r[i] = v * (1.0f + pan);
    }
    mix(sceneTimeToSample(t), n, {velocity * 1.25f, 0.08f, 0.0f, false});
}

void Synth::ride(double t, float velocity) {
    if (!renders(Voices::Rhythm)) return;
    const size_t n = samplesFor(1.2);
    Stereo& s = scratch(n);
    Metal metal(530.0f);
    Noise nz(noiseSeed_++);
    Svf hp;
    hp.set(5200.0f, 0.3f);
    float ping = 0.0f;
    for (size_t i = 0; i < n; ++i) {
        const float x = i * kInvRate;
        const float v = hp.highpass(0.7f * metal.next() + 0.25f * nz.next()) * std::exp(-x / 0.35f) +
                        0.12f * std::sin(kTwoPi * ping) * std::exp(-x / 0.5f);
        ping += 3150.0f * kInvRate;
        if (ping >= 1.0f) ping -= 1.0f;
        s.l[i] = v * 0.75f;
        s.r[i] = v * 1.2f;
    }
    mix(sceneTimeToSample(t), n, {velocity * 0.35f, 0.15f, 0.0f, false});
}

void Synth::crash(double t, float velocity) {
    if (!renders(Voices::Rhythm)) return;
    const size_t n = samplesFor(3.0);
    Stereo& s = scratch(n);
    Metal ml(361.0f), mr(367.0f);
    Noise nl(noiseSeed_++), nr(noiseSeed_++);
    Svf hl, hr;
    hl.set(4300.0f, 0.2f);
    hr.set(4600.0f, 0.2f);
    for (size_t i = 0; i < n; ++i) {
        const float x = i * kInvRate;
        const float env = std::exp(-x / 0.8f) * (0.6f + 0.4f * std::exp(-x / 0.05f));
        s.l[i] = hl.highpass(0.5f * ml.next() + 0.7f * nl.next()) * env;
        s.r[i] = hr.highpass(0.5f * mr.next() + 0.7f * nr.next()) * env;
    }
    mix(sceneTimeToSample(t), n, {velocity * 0.5f, 0.3f, 0.0f, false});
}

void Synth::tom(double t, float note, float velocity) {
    if (!renders(Voices::Rhythm)) return;
    const size_t n = samplesFor(0.6);
    Stereo& s = scratch(n);
    const float f = midiToHz(note);
    const float pan = std::max(-0.6f, std::min(0.6f, (note - 45.0f) / 15.0f));
    float phase = 0.0f;
    for (size_t i = 0; i < n; ++i) {
        const float x = i * kInvRate;
        const float v = softClip(1.6f * std::sin(kTwoPi * phase) * std::exp(-x / 0.22f)) * 0.7f;
        phase += f * (1.0f + 0.6f * std::exp(-x / 0.04f)) * kInvRate;
        if (phase >= 1.0f) phase -= 1.0f;
        s.l[i] = v * (1.0f - pan);
        s.r[i] = v * (1.0f + pan);
    }
    mix(sceneTimeToSample(t), n, {velocity * 0.55f, 0.3f, 0.0f, false});
}

void Synth::bass(double t, double beats, float note, float velocity, float cutoff) {
    if (!renders(Voices::Rhythm)) return;
    const double seconds = beatsToSeconds(beats);
    const size_t n = samplesFor(seconds + 0.012);
    Stereo& s = scratch(n);
    const float f = midiToHz(note);
    Saw saw;
    float sub = 0.0f;
    Svf filter;
    for (size_t i = 0; i < n; ++i) {
        const float x = i * kInvRate;
        if ((i & 15) == 0) filter.set(cutoff * (1.0f + 5.0f * std::exp(-x / 0.055f)), 0.35f);
        const float osc = 0.7f * saw.next(f * kInvRate) + 0.12f * std::sin(kTwoPi * sub);
        sub += f * kInvRate;
        if (sub >= 1.0f) sub -= 1.0f;
        const float attack = std::min(1.0f, x / 0.003f);
        const float release = x > seconds ? std::max(0.0f, 1.0f - static_cast<float>((x - seconds) / 0.012)) : 1.0f;
        s.l[i] = s.r[i] = softClip(1.3f * filter.lowpass(osc)) * attack * release;
    }
    mix(sceneTimeToSample(t), n, {velocity * 0.36f, 0.0f, 0.0f, true});
}

void Synth::pad(double t, double beats, const std::vector<int>& notes, float velocity, float cutoffFrom, float cutoffTo,
                double attackBeats) {
    if (!renders(Voices::Harmony)) return;
    const double seconds = beatsToSeconds(beats), attack = beatsToSeconds(attackBeats), release = 1.6;
    const size_t n = samplesFor(seconds + release);
    Stereo& s = scratch(n);
    static const float kDetune[6] = {-0.12f, -0.07f, -0.025f, 0.025f, 0.07f, 0.12f};
    static const float kPan[6] = {-0.9f, 0.55f, -0.3f, 0.3f, -0.55f, 0.9f};
    uint32_t phaseSeed = 0x2545F491u;
    for (int note : notes) {
        Saw saws[6];
        float incs[6];
        for (int v = 0; v < 6; ++v) {
            phaseSeed = phaseSeed * 1664525u + 1013904223u;
            saws[v].phase = (phaseSeed >> 8) * (1.0f / 16777216.0f);
            incs[v] = midiToHz(note + kDetune[v]) * kInvRate;
        }
        Svf fl, fr;
        const float ratio = cutoffTo / cutoffFrom;
        for (size_t i = 0; i < n; ++i) {
            if ((i & 31) == 0) {
                const float c = cutoffFrom * std::pow(ratio, std::min(1.0f, static_cast<float>(i / (seconds * kSampleRate))));
                fl.set(c, 0.2f);
                fr.set(c * 1.03f, 0.2f);
            }
            float l = 0.0f, r = 0.0f;
            for (int v = 0; v < 6; ++v) {
                const float o = saws[v].next(incs[v]);
                l += o * (1.0f - kPan[v]);
                r += o * (1.0f + kPan[v]);
            }
            s.l[i] += fl.lowpass(l);
            s.r[i] += fr.lowpass(r);
        }
    }
    const float scale = 0.65f / std::sqrt(static_cast<float>(notes.size()) * 6.0f);
    // The bass owns the low end: the chord keeps its body above 200 Hz.
    Svf hl, hr;
    hl.set(200.0f, 0.29f);
    hr.set(200.0f, 0.29f);
    for (size_t i = 0; i < n; ++i) {
        s.l[i] = hl.highpass(s.l[i]);
        s.r[i] = hr.highpass(s.r[i]);
        const double x = i * (1.0 / kSampleRate);
        double env = std::min(1.0, x / attack);
        env = env * env * (3.0 - 2.0 * env);
        if (x > seconds) env *= std::exp(-(x - seconds) / (release / 4.0));
        s.l[i] *= static_cast<float>(env) * scale;
        s.r[i] *= static_cast<float>(env) * scale;
    }
    mix(sceneTimeToSample(t), n, {velocity, 0.45f, 0.0f, true});
}

void Synth::lead(double t, double beats, float note, float velocity, float brightness) {
    if (!renders(Voices::Harmony)) return;
    const double seconds = beatsToSeconds(beats);
    const size_t n = samplesFor(seconds + 0.25);
    Stereo& s = scratch(n);
    const float f = midiToHz(note);
    Saw a, b, c;
    b.phase = 0.37f;
    c.phase = 0.71f;
    Svf filter;
    float vib = 0.0f;
    for (size_t i = 0; i < n; ++i) {
        const float x = i * kInvRate;
        const float depth = std::min(1.0f, std::max(0.0f, (x - 0.18f) / 0.3f)) * 0.006f;
        const float mod = 1.0f + depth * std::sin(kTwoPi * vib);
        vib += 5.6f * kInvRate;
        if ((i & 15) == 0)
            filter.set((900.0f + 5200.0f * brightness) * (1.0f + 1.6f * std::exp(-x / 0.12f)) * (f / 440.0f + 0.5f), 0.3f);
        const float osc = a.next(f * 1.004f * mod * kInvRate) + b.next(f * 0.996f * mod * kInvRate) +
                          0.45f * c.next(f * 0.5f * mod * kInvRate);
        float env = std::min(1.0f, x / 0.006f) * (0.78f + 0.22f * std::exp(-x / 0.15f));
        if (x > seconds) env *= std::exp(-(x - static_cast<float>(seconds)) / 0.06f);
        const float v = filter.lowpass(osc) * env * 0.3f;
        s.l[i] = v;
        s.r[i] = v;
    }
    mix(sceneTimeToSample(t), n, {velocity, 0.3f, 0.32f, false});
}

void Synth::pluck(double t, double beats, float note, float velocity, float cutoff, float pan) {
    if (!renders(Voices::Harmony)) return;
    const double seconds = beatsToSeconds(beats);
    const size_t n = samplesFor(seconds + 0.3);
    Stereo& s = scratch(n);
    const float f = midiToHz(note);
    Saw a, b;
    b.phase = 0.5f;
    Svf filter;
    for (size_t i = 0; i < n; ++i) {
        const float x = i * kInvRate;
        if ((i & 15) == 0) filter.set(cutoff * (1.0f + 7.0f * std::exp(-x / 0.045f)), 0.45f);
        float env = std::min(1.0f, x / 0.002f) * std::exp(-x / 0.22f);
        if (x > seconds) env *= std::exp(-(x - static_cast<float>(seconds)) / 0.04f);
        const float v = filter.lowpass(a.next(f * kInvRate) + 0.6f * b.next(f * 1.006f * kInvRate)) * env * 0.3f;
        s.l[i] = v * (1.0f - pan);
        s.r[i] = v * (1.0f + pan);
    }
    mix(sceneTimeToSample(t), n, {velocity * 1.2f, 0.2f, 0.4f, true});
}

void Synth::bell(double t, double beats, float note, float velocity) {
    if (!renders(Voices::Harmony)) return;
    const double seconds = beatsToSeconds(beats);
    const size_t n = samplesFor(seconds + 2.5);
    Stereo& s = scratch(n);
    const float f = midiToHz(note);
    float pc = 0.0f, pm = 0.0f, p2 = 0.0f;
    for (size_t i = 0; i < n; ++i) {
        const float x = i * kInvRate;
        const float index = 2.2f * std::exp(-x / 0.35f) + 0.3f;
        const float m = std::sin(kTwoPi * pm) * index;
        float env = std::min(1.0f, x / 0.003f) * std::exp(-x / 1.3f);
        if (x > seconds) env *= std::exp(-(x - static_cast<float>(seconds)) / 0.5f);
        const float v = (std::sin(kTwoPi * pc + m) + 0.25f * std::sin(kTwoPi * p2) * std::exp(-x / 0.4f)) * env * 0.28f;
        pc += f * kInvRate;
        pm += f * 3.5f * kInvRate;
        p2 += f * 2.76f * kInvRate;
        pc -= std::floor(pc);
        pm -= std::floor(pm);
        p2 -= std::floor(p2);
        s.l[i] = v * 0.85f;
        s.r[i] = v * 1.15f;
    }
    mix(sceneTimeToSample(t), n, {velocity, 0.5f, 0.35f, false});
}

void Synth::stab(double t, const std::vector<int>& notes, float velocity) {
    if (!renders(Voices::Rhythm)) return;
    const size_t n = samplesFor(0.9);
    Stereo& s = scratch(n);
    for (size_t k = 0; k < notes.size(); ++k) {
        Saw a, b;
        b.phase = 0.3f + 0.1f * k;
        const float f = midiToHz(static_cast<float>(notes[k]));
        Svf filter;
        const float pan = (static_cast<float>(k) / std::max<size_t>(1, notes.size() - 1) - 0.5f) * 0.8f;
        for (size_t i = 0; i < n; ++i) {
            const float x = i * kInvRate;
            if ((i & 15) == 0) filter.set(800.0f + 7000.0f * std::exp(-x / 0.09f), 0.25f);
            const float v = filter.lowpass(a.next(f * 1.003f * kInvRate) + b.next(f * 0.997f * kInvRate)) *
                            std::min(1.0f, x / 0.002f) * std::exp(-x / 0.2f) * 0.16f;
            s.l[i] += v * (1.0f - pan);
            s.r[i] += v * (1.0f + pan);
        }
    }
    mix(sceneTimeToSample(t), n, {velocity, 0.45f, 0.25f, false});
}

void Synth::riser(double t, double beats, float velocity) {
    if (!renders(Voices::Rhythm)) return;
    const double seconds = beatsToSeconds(beats);
    const size_t n = samplesFor(seconds);
    Stereo& s = scratch(n);
    Noise nl(noiseSeed_++), nr(noiseSeed_++);
    Svf fl, fr;
    Saw sweep;
    for (size_t i = 0; i < n; ++i) {
        const float p = static_cast<float>(i) / static_cast<float>(n);
        if ((i & 31) == 0) {
            const float c = 250.0f * std::pow(36.0f, p);
            fl.set(c, 0.55f);
            fr.set(c * 1.07f, 0.55f);
        }
        const float amp = p * p * (0.4f + 0.6f * p);
        const float tone = 0.12f * sweep.next(midiToHz(50.0f + 24.0f * p * p) * kInvRate);
        s.l[i] = (fl.bandpass(nl.next()) * 1.4f + tone) * amp;
        s.r[i] = (fr.bandpass(nr.next()) * 1.4f + tone) * amp;
    }
    mix(sceneTimeToSample(t), n, {velocity * 0.5f, 0.4f, 0.0f, false});
}

void Synth::impact(double t, float velocity) {
    if (!renders(Voices::Rhythm)) return;
    const size_t n = samplesFor(3.5);
    Stereo& s = scratch(n);
    Noise nz(noiseSeed_++);
    Svf lp;
    lp.set(900.0f, 0.1f);
    float phase = 0.0f;
    for (size_t i = 0; i < n; ++i) {
        const float x = i * kInvRate;
        const float boom = std::sin(kTwoPi * phase) * std::exp(-x / 1.1f);
        phase += (31.0f + 45.0f * std::exp(-x / 0.12f)) * kInvRate;
        if (phase >= 1.0f) phase -= 1.0f;
        const float rumble = lp.lowpass(nz.next()) * std::exp(-x / 0.5f) * 0.8f;
        s.l[i] = s.r[i] = softClip(1.4f * (0.6f * boom + rumble)) * 0.75f;
    }
    mix(sceneTimeToSample(t), n, {velocity * 0.8f, 0.5f, 0.0f, false});
    crash(t, velocity);
}

void Synth::reverseCymbal(double tEnd, double beats, float velocity) {
    if (!renders(Voices::Rhythm)) return;
    const size_t n = samplesFor(beatsToSeconds(beats));
    Stereo& s = scratch(n);
    Noise nl(noiseSeed_++), nr(noiseSeed_++);
    Metal metal(380.0f);
    Svf hl, hr;
    hl.set(3800.0f, 0.2f);
    hr.set(4100.0f, 0.2f);
    for (size_t i = 0; i < n; ++i) {
        const float x = (n - i) * kInvRate;  // time before the end
        const float env = std::exp(-x / (0.35f * static_cast<float>(beatsToSeconds(beats))));
        const float m = metal.next();
        s.l[i] = hl.highpass(0.4f * m + 0.7f * nl.next()) * env;
        s.r[i] = hr.highpass(0.4f * m + 0.7f * nr.next()) * env;
    }
    mix(sceneTimeToSample(tEnd) - static_cast<int64_t>(n), n, {velocity * 0.5f, 0.35f, 0.0f, false});
}

}  // namespace contentgen
