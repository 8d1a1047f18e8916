#pragma once
// The show's timeline as plain numbers: every envelope the frame composer and the scenes read,
// as pure functions of the music time (ms) or the scene time t = beat - 1 (beats). No GL.
//
// Precision is part of the picture: values the show keeps in single precision are returned as
// float and computed exactly as it computes them, the others in double. 3.1416 stands for pi and
// 0.002840909090909091 for 1/352 (effects/Orbit.h).
#include <array>
#include <optional>

namespace content {

// Marks of the timeline in scene time t, shared by the envelopes below and the section table.
constexpr float kTitleShapeEnd = 160.0f;  // the title shape reaches full width (K = L = B = 1)
constexpr float kCreditsStart = 480.0f;   // credits fade in; the star sphere begins to whiten
constexpr float kWhiteOutStart = 544.0f;  // credits gone; fog end 0.01 turns every layer white
constexpr float kEndFadeStart = 576.0f;   // the core scene stops; the star sphere fades to black
constexpr float kShowEnd = 607.0f;        // beat 608: the show is over

// The three bursts: window [from, from + 2 half) of t, the triangle's apex at from + half, and
// the strength G inside.
struct BurstWindow {
    double from, half, strength;
};
constexpr BurstWindow kBurstWindows[] = {{257, 2, 0.75}, {310, 11, 2.0}, {417, 5, 1.5}};

// ms * 145 / 1000 / 60 in extended precision, rounded to single: 145 beats per minute.
float beatAt(int ms);
// t = beat - 1 in single precision: 0 at beat 1, 607 where the show ends.
float sceneTime(int ms);

// The slow swell 2 x(u)^50 with x(u) = 1 - (0.495 cos(u pi / 352) + 0.505): 0 for most of the
// show, peaking at 2 * 0.99^50 = 1.210 at u = 352. S1 = swell(t), S2 = swell(t - 16).
float swell(float u);

// A burst: strength G and the rising-then-falling triangle D (0 outside the three bursts).
struct Burst {
    double strength;  // G: 0.75, 2.0, 1.5 in the bursts, 1 elsewhere
    double ramp;      // D: 0 .. 1 .. 0 across the burst
};
Burst burstAt(float t);

// Flash F = 0.5 (1 + 0.5 cos(2.3478643 t) + 0.5 sin(t pi 3.86231234)) 0.3 G D^2, single precision.
float flashAt(float t, const Burst& burst);
// Glow mix H = G (1 - (1 - D)^2): moves the band's weight toward the blurred glow levels.
double glowMix(const Burst& burst);

// Title shape: K and L stretch the picture across and down, B spreads the corner copies.
struct TitleShape {
    double k, l, b;
};
TitleShape titleShapeAt(float t);

// Weights of glow level `level` (0 .. 8) in the band for glow mix H and second swell S2.
struct GlowLevelWeights {
    double centreAlpha;  // (1 - g) w for the centred layer
    double cornerAlpha;  // (0.2 - 0.2 (1 - g)) w 0.5 for each of the four corner copies
    double spread;       // o = 32 B f^2, the corner copies' offset in pixels
};
GlowLevelWeights glowLevelWeights(int level, double glowMix, float swell2, double spread);

// Logo alpha: a sine fade in and out for t < 128 (full at 64), off from 128 to 448, a cosine
// fade in and out up to 576 (full at 512), off after. Negative values add nothing.
float logoAlpha(float t);
// Credits alpha for 480 <= t < 544 ((t - 480) / 32, at most 1); no credits outside that window.
std::optional<float> creditsAlpha(float t);

// Star sphere: grey level L of the clear and fog colours and the fog factor q (fog end 100000 q).
struct StarSphereTone {
    float grey;  // L (16 between 544 and 576: clamped to white by GL, fog colour beyond white)
    float fog;   // q
};
StarSphereTone starSphereToneAt(float t);
// Star sphere field of view 230 u^10 + 95 degrees, u = 1 - (0.55 + 0.45 cos(t pi / 352)):
// 95 at t = 0, about 175.2 at t = 352.
float starSphereFov(float t);

// Core scene quantities from the zoom swell r (double precision, as the scene keeps it).
struct CoreSwell {
    double brightness;  // m = 0.5 (1 - u^16) + 0.5, u = 1 - r
    float overall;      // h = 1 - 1.5 g, g = 1.1 u^16 (negative for t in about 319.4 .. 384.6)
    float ball;         // l = 1 + 2.35 g
};
CoreSwell coreSwellAt(float t);

// The show cut into the stretches whose frames draw alike, for naming where frame time goes:
// "title" (the title shape and the first logo, every t before 160), "plain", "burst 1",
// "swell" (the first swell rising), "burst 2", "streaks" (the second swell's streak layers in
// every frame), "burst 3", "breakdown" (the swells gone, the logo back), "credits",
// "white-out", "end fade" (t from 576, and every later t).
struct ShowSection {
    const char* name;
    float from;  // first t of the section (-1, music time 0, for the first)
    float to;    // first t of the next section (kShowEnd for the last)
};
constexpr int kShowSectionCount = 11;
const std::array<ShowSection, kShowSectionCount>& showSections();
// Index into showSections() of the section holding t (t before 160 is the title, t at or after
// the end the end fade).
int showSectionAt(float t);

// The particle swarm runs i = 0, then i += particleStep(i) while i < kParticleLimit.
constexpr int kParticleLimit = 8000;
int particleStep(int i);

}  // namespace content
