#pragma once
// The soundtrack's instruments. Each call renders one note or hit at a scene time (in beats,
// see SoundtrackTiming.h) straight into the mix buses: the dry bus (where pads, bass and
// arpeggio are ducked under the kick) and the reverb and delay sends.
#include <cstdint>
#include <vector>

#include "Dsp.h"

namespace contentgen {

class Synth {
public:
    // Which instruments a synthesiser renders: two synthesisers playing the same score, one for
    // each half, can run on two threads and have their buses summed afterwards.
    enum class Voices { None = 0, Rhythm = 1, Harmony = 2, All = 3 };

    // length: the number of samples of every bus. duck: the gain envelope (length samples) that
    // ducked instruments are multiplied by, or null for none; it must outlive the synthesiser.
    explicit Synth(size_t length, Voices voices = Voices::All, const std::vector<float>* duck = nullptr);
    // A synthesiser that renders nothing and only records where the kicks go (cheap).
    struct ScoreOnly {};
    explicit Synth(ScoreOnly);

    void kick(double t, float velocity);
    void clap(double t, float velocity);
    void snare(double t, float velocity);
    void hat(double t, float velocity, bool open);
    void ride(double t, float velocity);
    void crash(double t, float velocity);
    void tom(double t, float note, float velocity);
    // Rolling bass: saw and sub through a plucked low-pass; cutoff in Hz before the envelope.
    void bass(double t, double beats, float note, float velocity, float cutoff);
    // Wide detuned-saw chord; the cutoff glides from cutoffFrom to cutoffTo over the chord.
    void pad(double t, double beats, const std::vector<int>& notes, float velocity, float cutoffFrom, float cutoffTo,
             double attackBeats = 1.5);
    // Lead voice; brightness 0 ... 1 opens its filter.
    void lead(double t, double beats, float note, float velocity, float brightness);
    void pluck(double t, double beats, float note, float velocity, float cutoff, float pan);
    void bell(double t, double beats, float note, float velocity);
    void stab(double t, const std::vector<int>& notes, float velocity);
    // Noise sweep rising over `beats`, ending at t + beats.
    void riser(double t, double beats, float velocity);
    void impact(double t, float velocity);
    // A cymbal played backwards, swelling into tEnd.
    void reverseCymbal(double tEnd, double beats, float velocity);

    // The scene times at which kicks were placed, in call order.
    const std::vector<double>& kicks() const { return kicks_; }

    Stereo dry, reverbSend, delaySend;

private:
    struct Route {
        float gain = 1.0f;
        float reverb = 0.0f;
        float delay = 0.0f;
        bool duck = false;
    };
    // Adds the rendered scratch buffers (n samples) at sample position start.
    void mix(int64_t start, size_t n, const Route& route);
    Stereo& scratch(size_t n);

    bool renders(Voices v) const { return (static_cast<int>(voices_) & static_cast<int>(v)) != 0; }

    Voices voices_;
    const std::vector<float>* duck_ = nullptr;
    std::vector<double> kicks_;
    Stereo scratch_;
    uint32_t noiseSeed_ = 12345;
};

// One kick drum as the synthesiser renders it at full velocity (mono, the first `samples`
// samples): the template the beat-grid analysis looks for.
std::vector<float> kickTemplate(size_t samples);

}  // namespace contentgen
