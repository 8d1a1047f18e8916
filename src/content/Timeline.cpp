#include "content/Timeline.h"

#include <algorithm>
#include <cmath>

#include "effects/Orbit.h"

namespace content {

using effects::kPi;
using effects::kSwellRate;

float beatAt(int ms) {
    return static_cast<float>(static_cast<long double>(ms) * 145 / 1000 / 60);
}

float sceneTime(int ms) {
    return beatAt(ms) - 1.0f;
}

float swell(float u) {
    const float c = static_cast<float>(0.495 * std::cos(u * kPi * kSwellRate) + 0.505);
    const float x = 1.0f - c;
    const float x10 = static_cast<float>(std::pow(static_cast<double>(x), 10));
    const float x50 = static_cast<float>(x10 * std::pow(static_cast<double>(x10), 4));
    return static_cast<float>(2.0 * x50);
}

Burst burstAt(float t) {
    for (const BurstWindow& b : kBurstWindows) {
        if (t >= b.from && t < b.from + 2 * b.half) {
            const double apex = b.from + b.half;
            const double ramp = t < apex ? (t - b.from) / b.half : 1.0 - (t - apex) / b.half;
            return {b.strength, ramp};
        }
    }
    return {1.0, 0.0};
}

float flashAt(float t, const Burst& burst) {
    const double d = burst.ramp;
    return static_cast<float>(
        0.5 * (1 + 0.5 * std::cos(2.3478643 * t) + 0.5 * std::sin(t * kPi * 3.86231234)) * 0.3 *
        burst.strength * d * d);
}

double glowMix(const Burst& burst) {
    const double rest = 1.0 - burst.ramp;
    return burst.strength * (1.0 - rest * rest);
}

TitleShape titleShapeAt(float t) {
    if (t < 96) return {0.53675, 0.915, 0.0};
    if (t >= kTitleShapeEnd) return {1.0, 1.0, 1.0};
    const float a = (t - 96.0f) / 64.0f;
    const float s = a * a;
    return {0.53675 + 0.46325 * s, 0.915 + 0.085 * s, s};
}

GlowLevelWeights glowLevelWeights(int level, double glowMix, float swell2, double spread) {
    const double f = level / 8.0;
    const double w = std::clamp((1 - glowMix) * (1 - f) + glowMix * f, 0.0, 1.0);
    const double g = f - 120 * swell2 * (1 - f);
    return {(1 - g) * w, (0.2 - 0.2 * (1 - g)) * w * 0.5, 32 * spread * f * f};
}

float logoAlpha(float t) {
    if ((t >= 128 && t < 448) || t > 576) return 0.0f;
    const double x = t * kPi * 0.125 * 0.125 * 0.5;
    return static_cast<float>(1.5 * (t < 384 ? std::sin(x) : std::cos(x)) - 0.5);
}

std::optional<float> creditsAlpha(float t) {
    if (t < kCreditsStart || t >= kWhiteOutStart) return std::nullopt;
    return std::min((t - 480.0f) / 32.0f, 1.0f);
}

StarSphereTone starSphereToneAt(float t) {
    if (t < 32) {
        const float a = t / 32.0f;
        return {0.0f, a * a * a};
    }
    if (t < kCreditsStart) return {0.0f, 1.0f};
    if (t < kWhiteOutStart) {
        const float f = std::clamp((t - 480.0f) / 64.0f, 0.0f, 1.0f);
        return {f * f * f, 1.0f - f};
    }
    if (t < kEndFadeStart) return {16.0f, 1e-7f};
    const float f = std::clamp(1.0f - (t - 576.0f) / 32.0f, 0.0f, 1.0f);
    return {f * f * f, f};
}

float starSphereFov(float t) {
    const float u = static_cast<float>(1.0 - (0.55 + 0.45 * std::cos(t * kPi * kSwellRate)));
    return static_cast<float>(230.0 * std::pow(static_cast<double>(u), 10) + 95.0);
}

CoreSwell coreSwellAt(float t) {
    const double u = 1.0 - effects::orbitZoomExact(t);
    const double u16 = std::pow(u, 16);
    const double g = 1.1 * u16;
    return {0.5 * (1 - u16) + 0.5, static_cast<float>(1 - 1.5 * g), static_cast<float>(1 + 2.35 * g)};
}

const std::array<ShowSection, kShowSectionCount>& showSections() {
    auto burstStart = [](int k) { return static_cast<float>(kBurstWindows[k].from); };
    auto burstEnd = [](int k) { return static_cast<float>(kBurstWindows[k].from + 2 * kBurstWindows[k].half); };
    static const std::array<ShowSection, kShowSectionCount> sections = {{
        {"title", -1.0f, kTitleShapeEnd},
        {"plain", kTitleShapeEnd, burstStart(0)},
        {"burst 1", burstStart(0), burstEnd(0)},
        {"swell", burstEnd(0), burstStart(1)},
        {"burst 2", burstStart(1), burstEnd(1)},
        {"streaks", burstEnd(1), burstStart(2)},
        {"burst 3", burstStart(2), burstEnd(2)},
        {"breakdown", burstEnd(2), kCreditsStart},
        {"credits", kCreditsStart, kWhiteOutStart},
        {"white-out", kWhiteOutStart, kEndFadeStart},
        {"end fade", kEndFadeStart, kShowEnd},
    }};
    return sections;
}

int showSectionAt(float t) {
    const auto& sections = showSections();
    int k = 0;
    while (k + 1 < kShowSectionCount && t >= sections[k + 1].from) ++k;
    return k;
}

int particleStep(int i) {
    const float rest = 1.0f - i / static_cast<float>(kParticleLimit);
    return static_cast<int>(4.0f * rest * rest + 1.0f);
}

}  // namespace content
