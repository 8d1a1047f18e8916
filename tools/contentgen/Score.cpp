#include "Score.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "SoundtrackTiming.h"

namespace contentgen {
namespace {

struct Chord {
    int bass;               // MIDI note of the bass root
    std::vector<int> pad;   // pad voicing, low to high
};

// D minor. Each chord lasts two bars (8 beats); a progression fills a 32-beat section.
const Chord kDm{38, {57, 62, 65, 69}};
const Chord kBb{34, {58, 62, 65, 70}};
const Chord kF{41, {57, 60, 65, 69}};
const Chord kC{36, {55, 60, 64, 67}};
const Chord kGm{43, {55, 58, 62, 67}};
const Chord kA{33, {57, 61, 64, 69}};
const std::vector<const Chord*> kMain = {&kDm, &kBb, &kF, &kC};
const std::vector<const Chord*> kDark = {&kGm, &kBb, &kDm, &kA};
const std::vector<const Chord*> kOutro = {&kBb, &kF, &kC, &kDm};

// The chord the pads play at scene time t, following the sections' progressions below.
const Chord& chordAt(double t) {
    const std::vector<const Chord*>* progression = &kMain;
    double start = 0.0;
    if (t >= 320.0 && t < 384.0) progression = &kDark, start = 320.0;
    else if (t >= 480.0 && t < 544.0) progression = &kOutro, start = 480.0;
    const int slot = static_cast<int>(std::floor((t - start) / 8.0)) % 4;
    return *(*progression)[slot < 0 ? 0 : slot];
}

// The chord's tones an octave up: the voicing of stabs and hits.
std::vector<int> raised(const Chord& chord) {
    std::vector<int> notes = chord.pad;
    for (int& n : notes) n += 12;
    return notes;
}

struct Note {
    double at, beats;
    int pitch;
};

// The main theme over the main progression (32 beats).
const std::vector<Note> kThemeA = {
    {0, 1.5, 69},  {1.5, 0.5, 67}, {2, 1, 65},    {3, 0.5, 64},  {3.5, 0.5, 65}, {4, 2.5, 62},  {6.5, 0.5, 69},
    {7, 1, 72},    {8, 1.5, 74},   {9.5, 0.5, 72}, {10, 1, 70},   {11, 1, 69},   {12, 3, 65},   {15, 0.5, 67},
    {15.5, 0.5, 69}, {16, 1.5, 72}, {17.5, 0.5, 69}, {18, 1, 77},  {19, 0.5, 76}, {19.5, 0.5, 72}, {20, 3, 69},
    {23, 1, 72},   {24, 1.5, 76},  {25.5, 0.5, 74}, {26, 1, 72},  {27, 1, 67},   {28, 2, 64},   {30, 1, 67},
    {31, 1, 76}};

// The credits theme over the outro progression (32 beats).
const std::vector<Note> kThemeOutro = {
    {0, 2, 77},  {2, 1, 74},  {3, 1, 72},  {4, 4, 74},  {8, 2, 72},  {10, 1, 69}, {11, 1, 72}, {12, 4, 77},
    {16, 2, 76}, {18, 1, 79}, {19, 1, 76}, {20, 3, 72}, {23, 1, 74}, {24, 2, 77}, {26, 1, 76}, {27, 1, 74},
    {28, 4, 74}};

// The breakdown's slow melody over the dark progression (32 beats).
const std::vector<Note> kThemeCalm = {{0, 4, 74},  {4, 4, 70},  {8, 3, 77},  {11, 1, 74}, {12, 4, 72},
                                      {16, 4, 69}, {20, 4, 74}, {24, 3, 73}, {27, 1, 71}, {28, 4, 69}};

// The second theme: a syncopated figure on each chord's upper tones (32 beats).
std::vector<Note> themeB(const std::vector<const Chord*>& progression) {
    static const double kAt[6] = {0, 0.75, 1.5, 2.5, 3, 3.5};
    static const double kLen[6] = {0.75, 0.75, 1, 0.5, 0.5, 0.5};
    static const int kPick[2][6] = {{3, 2, 3, 1, 2, 3}, {3, 2, 1, 0, 1, 2}};
    std::vector<Note> notes;
    for (int c = 0; c < 4; ++c)
        for (int bar = 0; bar < 2; ++bar)
            for (int k = 0; k < 6; ++k)
                notes.push_back({c * 8 + bar * 4 + kAt[k], kLen[k], progression[c]->pad[kPick[bar][k]] + 12});
    return notes;
}

struct Groove {
    bool kick = false, clap = false, hats = false, openHats = false, hats16 = false, ride = false;
    bool arp = false;
    int bassStyle = 0;  // 0 none, 1 rolling, 2 octave jumps, 3 long notes
    float bassCutoff = 300.0f, arpCutoff = 900.0f;
    float padFrom = 900.0f, padTo = 900.0f, padLevel = 0.8f;
    const std::vector<Note>* theme = nullptr;
    float leadBrightness = 0.5f, leadLevel = 0.8f;
    int themeOctave = 0;
    bool bellTheme = false;
    double kickUntil = 1e9, hatsUntil = 1e9;  // section-relative beats where these stop
};

class Performer {
public:
    explicit Performer(Synth& s) : synth(s) {}

    void section(double start, const std::vector<const Chord*>& progression, const Groove& g) {
        for (int c = 0; c < 4; ++c) {
            const Chord& chord = *progression[c];
            const double at = start + 8 * c;
            if (g.padLevel > 0.0f) {
                const float from = g.padFrom + (g.padTo - g.padFrom) * c / 4.0f;
                const float to = g.padFrom + (g.padTo - g.padFrom) * (c + 1) / 4.0f;
                synth.pad(at, 8.0, chord.pad, g.padLevel, from, to);
            }
            bassFor(at, chord, g);
            if (g.arp) arpFor(at, chord, g);
        }
        for (int b = 0; b < 32; ++b) {
            const double t = start + b;
            if (g.kick && b < g.kickUntil) synth.kick(t, 1.0f);
            if (g.clap && (b % 4 == 1 || b % 4 == 3)) synth.clap(t, 0.7f);
            if (b < g.hatsUntil) {
                if (g.hats) synth.hat(t + 0.5, 0.8f, g.openHats && b % 2 == 1);
                if (g.hats16)
                    for (int k : {1, 3}) synth.hat(t + 0.25 * k, 0.35f + 0.1f * (b % 2), false);
                if (g.ride) synth.ride(t, 0.55f);
            }
        }
        // A snare fill on the section's last beat leads into the next one.
        if (g.kick && g.kickUntil >= 32)
            for (int k = 0; k < 4; ++k) synth.snare(start + 31 + 0.25 * k, 0.45f + 0.12f * k);
        if (g.theme) {
            for (const Note& n : *g.theme) {
                const int pitch = n.pitch + 12 * g.themeOctave;
                if (g.bellTheme) {
                    synth.bell(start + n.at, n.beats, pitch, 0.9f);
                } else {
                    synth.lead(start + n.at, n.beats * 0.92, pitch, g.leadLevel, g.leadBrightness);
                }
            }
        }
    }

    void bassFor(double at, const Chord& chord, const Groove& g) {
        if (g.bassStyle == 0) return;
        if (g.bassStyle == 3) {
            synth.bass(at, 7.5, chord.bass, 0.8f, g.bassCutoff);
            return;
        }
        for (int beat = 0; beat < 8; ++beat)
            for (int k = 1; k < 4; ++k) {
                int note = chord.bass;
                if (g.bassStyle == 2 && k == 2) note += 12;
                if (beat == 7 && k == 3) note += 7;
                synth.bass(at + beat + 0.25 * k, 0.22, static_cast<float>(note), k == 2 ? 0.9f : 0.75f, g.bassCutoff);
            }
    }

    void arpFor(double at, const Chord& chord, const Groove& g) {
        static const int kOrder[8] = {0, 1, 2, 3, 4, 3, 2, 1};
        std::vector<int> tones = chord.pad;
        tones.push_back(chord.pad[1] + 12);
        for (int step = 0; step < 32; ++step) {
            const int pitch = tones[kOrder[step % 8]] + 12;
            const float accent = step % 4 == 0 ? 0.85f : 0.6f;
            synth.pluck(at + step * 0.25, 0.22, static_cast<float>(pitch), accent, g.arpCutoff, step % 2 ? 0.45f : -0.45f);
        }
    }

    // Snare roll from `from` to `to`: eighths, then sixteenths, then thirty-seconds, growing.
    void snareRoll(double from, double to, float velocity) {
        const double span = to - from;
        double t = from;
        while (t < to - 1e-9) {
            const double p = (t - from) / span;
            synth.snare(t, velocity * static_cast<float>(0.35 + 0.65 * p));
            t += p < 0.5 ? 0.5 : (p < 0.75 ? 0.25 : 0.125);
        }
    }

    void tomFill(double from, int steps, float velocity) {
        static const float kToms[6] = {57, 54, 50, 47, 45, 43};
        for (int k = 0; k < steps; ++k) synth.tom(from + 0.25 * k, kToms[k % 6], velocity);
    }

    // A hit: a stab of the chord playing, crash and a low tom together.
    void hit(double t, float velocity) {
        synth.stab(t, raised(chordAt(t)), velocity);
        synth.crash(t, velocity * 0.8f);
        synth.tom(t, 43, velocity * 0.8f);
    }

    Synth& synth;
};

}  // namespace

float masterGain(double t) {
    if (t < 0.0) return 0.0f;
    if (t < 32.0) {
        const double p = t / 32.0;
        return static_cast<float>(p * p);
    }
    if (t < 576.0) return 1.0f;
    if (t < 607.0) return static_cast<float>(std::pow(10.0, -0.85 * (t - 576.0) / 31.0));  // to about -17 dB
    const double end = secondsToSceneTime(kSoundtrackSeconds);
    return static_cast<float>(0.141 * std::max(0.0, (end - t) / (end - 607.0)));
}

float sectionGain(double t) {
    // Level in dB at scene times, linear in between; two points at one time make a step. The
    // loudest moments (the drop, the bursts, the climax and the finale) stand at 0 dB, the
    // groove's early sections a few dB under, the breakdown and the credits' first half far
    // under, each reached over a beat or two so that the hit opening a section rings out.
    struct Point {
        double t, db;
    };
    static const Point kLevels[] = {
        {0, -3},     {32, -3},   {32, -4},   {64, -4},   {64, -3},   {96, -3},    {96, -2.5},
        {128, -2.5}, {128, -1.5}, {160, -1.5}, {160, -3}, {192, -3},  {192, -2},   {224, -2},
        {224, -3},   {256, 0},   {288, 0},   {288, -3},  {320, 0},   {352, 0},    {356, -8},
        {384, -8},   {384, -6},  {416, -1},  {416, 0},   {448, 0},   {448, -1.5}, {480, -1.5},
        {482, -7},   {512, -7},  {512, -4},  {544, -4},  {544, -2},  {576, 0}};
    const size_t count = sizeof kLevels / sizeof kLevels[0];
    double db = kLevels[count - 1].db;
    if (t <= kLevels[0].t) {
        db = kLevels[0].db;
    } else {
        for (size_t k = 1; k < count; ++k) {
            if (t < kLevels[k].t) {
                const Point& a = kLevels[k - 1];
                const Point& b = kLevels[k];
                db = a.db + (b.db - a.db) * (t - a.t) / (b.t - a.t);
                break;
            }
        }
    }
    return static_cast<float>(std::pow(10.0, db / 20.0));
}

void performScore(Synth& synth, const std::function<void(double)>& progress) {
    Performer p(synth);
    const double total = 608.0;
    auto done = [&](double t) {
        if (progress) progress(std::min(1.0, t / total));
    };

    // t 0-32: out of silence: the pad opens, the arpeggio creeps in, a cymbal swells into 32.
    {
        Groove g;
        g.padFrom = 250.0f;
        g.padTo = 1500.0f;
        g.padLevel = 0.9f;
        p.section(0, kMain, g);
        for (int c = 2; c < 4; ++c) p.arpFor(8 * c, *kMain[c], Groove{});
        synth.reverseCymbal(32, 8, 0.8f);
        synth.riser(24, 8, 0.4f);
    }
    done(32);
    // 32-64: the beat and the rolling bass.
    Groove base;
    base.kick = base.hats = true;
    base.bassStyle = 1;
    base.bassCutoff = 260.0f;
    base.padFrom = base.padTo = 1100.0f;
    base.padLevel = 0.6f;
    synth.crash(32, 0.7f);
    p.section(32, kMain, base);
    done(64);
    // 64-96: claps, open hats, sixteenths and the arpeggio.
    Groove full = base;
    full.clap = full.openHats = full.hats16 = full.arp = true;
    full.bassCutoff = 340.0f;
    synth.crash(64, 0.7f);
    p.section(64, kMain, full);
    done(96);
    // 96-128: the main theme enters as the title opens out.
    Groove themed = full;
    themed.theme = &kThemeA;
    themed.leadBrightness = 0.45f;
    p.section(96, kMain, themed);
    done(128);
    // 128-160: theme again, brighter, with the ride.
    Groove bright = themed;
    bright.leadBrightness = 0.8f;
    bright.ride = true;
    bright.arpCutoff = 1300.0f;
    synth.crash(128, 0.9f);
    p.section(128, kMain, bright);
    done(160);
    // 160-192: a turn: octave bass, the arpeggio to the fore, no lead.
    Groove turn = full;
    turn.bassStyle = 2;
    turn.arpCutoff = 1800.0f;
    turn.padFrom = 700.0f;
    turn.padTo = 1600.0f;
    synth.crash(160, 0.9f);
    p.section(160, kMain, turn);
    done(192);
    // 192-224: the second theme.
    const std::vector<Note> themeMain = themeB(kMain);
    Groove second = turn;
    second.theme = &themeMain;
    second.leadBrightness = 0.7f;
    second.ride = true;
    synth.crash(192, 0.9f);
    p.section(192, kMain, second);
    done(224);
    // 224-256: build-up: theme A, snare roll, riser; the kick drops out for the last bar.
    Groove build = bright;
    build.kickUntil = 28;
    build.hatsUntil = 24;
    build.padFrom = 1500.0f;
    build.padTo = 400.0f;
    p.section(224, kMain, build);
    p.snareRoll(240, 256, 0.9f);
    synth.riser(240, 16, 0.8f);
    done(256);
    // 256-288: the drop, with the first hits at 257-261.
    synth.impact(256, 1.0f);
    Groove drop = second;
    drop.arpCutoff = 2000.0f;
    drop.bassCutoff = 420.0f;
    drop.padLevel = 0.7f;
    p.section(256, kMain, drop);
    for (int k = 0; k < 4; ++k) p.hit(257 + k, 0.8f + 0.05f * k);
    p.tomFill(260, 4, 0.7f);
    done(288);
    // 288-320: the long rise towards the swell begins; the burst at 310 brings fills.
    Groove rise = full;
    rise.ride = true;
    rise.arpCutoff = 1500.0f;
    rise.padFrom = 600.0f;
    rise.padTo = 3000.0f;
    synth.crash(288, 0.9f);
    p.section(288, kMain, rise);
    synth.riser(288, 64, 0.9f);
    done(320);
    // 320-352: the burst peaks at 321 and ends at 332; then the beat stops and everything
    // rises into the swell's peak at 352.
    Groove peak = rise;
    peak.kickUntil = 12;
    peak.hatsUntil = 12;
    peak.bassStyle = 0;
    peak.arp = true;
    peak.arpCutoff = 2600.0f;
    peak.padFrom = 1200.0f;
    peak.padTo = 5000.0f;
    peak.padLevel = 0.9f;
    p.section(320, kDark, peak);
    for (int k = 0; k < 11; ++k) {
        const double t = 310 + 2 * k;
        synth.crash(t, 0.75f);
        p.hit(t + 1, 0.6f + 0.03f * k);
    }
    for (double t : {313.0, 317.0, 321.0, 325.0, 329.0}) p.tomFill(t, 4, 0.8f);
    p.snareRoll(336, 352, 1.0f);
    synth.reverseCymbal(352, 8, 1.0f);
    done(352);
    // 352-384: breakdown under the swell: dark pads and a slow melody on bells, no beat.
    synth.impact(352, 1.1f);
    Groove calm;
    calm.padFrom = 3000.0f;
    calm.padTo = 700.0f;
    calm.padLevel = 1.0f;
    calm.theme = &kThemeCalm;
    calm.bellTheme = true;
    p.section(352, kDark, calm);
    done(384);
    // 384-416: the beat comes back and builds again.
    Groove rebuild = full;
    rebuild.padFrom = 500.0f;
    rebuild.padTo = 2500.0f;
    rebuild.kickUntil = 28;
    rebuild.hatsUntil = 28;
    p.section(384, kMain, rebuild);
    p.snareRoll(408, 416, 0.9f);
    synth.riser(400, 16, 0.8f);
    done(416);
    // 416-448: climax, with the hits of the burst at 417-427.
    synth.impact(416, 1.0f);
    Groove climax = bright;
    climax.themeOctave = 1;
    climax.leadLevel = 0.65f;
    climax.arpCutoff = 2200.0f;
    climax.bassStyle = 2;
    climax.bassCutoff = 420.0f;
    p.section(416, kMain, climax);
    for (int k = 0; k < 10; ++k) {
        if (k % 2 == 0) p.hit(417 + k, 0.75f);
        else synth.stab(417 + k + 0.5, raised(chordAt(417 + k + 0.5)), 0.5f);
    }
    p.tomFill(420, 4, 0.7f);
    p.tomFill(425, 8, 0.8f);
    done(448);
    // 448-480: the second theme, full groove, a fill into the outro.
    Groove last = drop;
    last.hatsUntil = 28;
    p.section(448, kMain, last);
    p.tomFill(476, 16, 0.8f);
    synth.reverseCymbal(480, 4, 0.7f);
    done(480);
    // 480-544: the credits theme on bells; the beat returns for its second half.
    Groove outro;
    outro.padFrom = outro.padTo = 1400.0f;
    outro.padLevel = 0.9f;
    outro.bassStyle = 3;
    outro.bassCutoff = 200.0f;
    outro.hats = true;
    outro.theme = &kThemeOutro;
    outro.bellTheme = true;
    p.section(480, kOutro, outro);
    done(512);
    Groove outro2 = outro;
    outro2.kick = outro2.clap = true;
    outro2.arp = true;
    outro2.arpCutoff = 1200.0f;
    outro2.bassStyle = 1;
    outro2.bassCutoff = 300.0f;
    synth.crash(512, 0.8f);
    p.section(512, kOutro, outro2);
    for (const Note& n : kThemeOutro) synth.lead(512 + n.at, n.beats * 0.9, n.pitch - 12, 0.45f, 0.4f);
    done(544);
    // 544-576: the final crescendo through the white-out.
    Groove finale = bright;
    finale.themeOctave = 1;
    finale.leadLevel = 0.7f;
    finale.arpCutoff = 2600.0f;
    finale.bassStyle = 2;
    finale.bassCutoff = 480.0f;
    finale.padFrom = 1500.0f;
    finale.padTo = 6000.0f;
    finale.padLevel = 0.9f;
    for (int k = 0; k < 4; ++k) synth.crash(544 + 8 * k, 0.8f);
    p.section(544, kMain, finale);
    p.snareRoll(560, 576, 1.0f);
    synth.riser(544, 32, 1.0f);
    done(576);
    // 576 on: the last hit, then the chord rings out and fades.
    synth.impact(576, 1.2f);
    synth.kick(576, 1.0f);
    synth.pad(576, 34.0, kDm.pad, 1.0f, 2500.0f, 500.0f, 0.05);
    synth.pad(576, 34.0, {50, 62}, 0.6f, 900.0f, 300.0f, 0.05);
    synth.bell(576, 4.0, 74, 0.9f);
    synth.bell(580, 4.0, 69, 0.7f);
    synth.bell(584, 8.0, 62, 0.6f);
    done(608);
}

}  // namespace contentgen
