#include "content/Timeline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace content;

// First and last t of [from, to] (scanned in steps of 0.01) where pred holds.
std::pair<double, double> windowWhere(double from, double to, const std::function<bool(float)>& pred) {
    double first = NAN, last = NAN;
    for (int k = 0; from + k * 0.01 <= to; ++k) {
        const float t = static_cast<float>(from + k * 0.01);
        if (pred(t)) {
            if (std::isnan(first)) first = t;
            last = t;
        }
    }
    return {first, last};
}

TEST(Timeline, BeatAndSceneTimeFollowTheTempo) {
    struct Case {
        int ms;
        float beat;
    };
    const Case cases[] = {
        {0, 0.0f}, {60000, 145.0f}, {-5333, -12.888083f}, {251586, 607.99951f}, {413, 0.99808335f},
    };
    for (const Case& c : cases) {
        EXPECT_FLOAT_EQ(beatAt(c.ms), c.beat) << c.ms;
        EXPECT_FLOAT_EQ(sceneTime(c.ms), c.beat - 1.0f) << c.ms;
    }
    // The beat is rounded once from the exact quotient, not built up in float steps.
    EXPECT_EQ(beatAt(1), static_cast<float>(145.0L / 60000.0L));
}

TEST(Timeline, SwellsAtTheirMarks) {
    struct Case {
        float t, s1, s2;
    };
    const Case cases[] = {{300, 0.080f, 0.011f}, {352, 1.210f, 0.938f}, {368, 0.938f, 1.210f}, {50, 0, 0}};
    for (const Case& c : cases) {
        EXPECT_NEAR(swell(c.t), c.s1, 0.0006) << c.t;
        EXPECT_NEAR(swell(c.t - 16), c.s2, 0.0006) << c.t;
    }
    EXPECT_NEAR(swell(352), 2 * std::pow(0.99, 50), 1e-4);

    const auto s1 = windowWhere(0, 607, [](float t) { return swell(t) > 0.001f; });
    EXPECT_NEAR(s1.first, 268.6, 0.06);
    EXPECT_NEAR(s1.second, 435.4, 0.06);
    const auto s2 = windowWhere(0, 607, [](float t) { return swell(t - 16) > 0.1f; });
    EXPECT_NEAR(s2.first, 318.2, 0.06);
    EXPECT_NEAR(s2.second, 417.8, 0.06);
}

TEST(Timeline, BurstsFlashAndGlowMix) {
    struct Case {
        float t;
        double g, d;
    };
    const Case cases[] = {
        {256.99f, 1, 0},  {257, 0.75, 0}, {258, 0.75, 0.5}, {259, 0.75, 1},  {260, 0.75, 0.5},
        {261, 1, 0},      {310, 2, 0},    {315.5f, 2, 0.5}, {321, 2, 1},     {326.5f, 2, 0.5},
        {332, 1, 0},      {417, 1.5, 0},  {422, 1.5, 1},    {424.5f, 1.5, 0.5}, {427, 1, 0},
        {50, 1, 0},       {-2, 1, 0},
    };
    for (const Case& c : cases) {
        const Burst b = burstAt(c.t);
        EXPECT_DOUBLE_EQ(b.strength, c.g) << c.t;
        EXPECT_NEAR(b.ramp, c.d, 1e-9) << c.t;
        if (c.d == 0) {
            EXPECT_EQ(flashAt(c.t, b), 0.0f) << c.t;
            EXPECT_EQ(glowMix(b), 0.0) << c.t;
        }
        if (c.d == 1) {
            EXPECT_DOUBLE_EQ(glowMix(b), c.g) << c.t;
        }
    }
    // Flash at the middle burst's apex: 0.5 (1 + 0.5 cos + 0.5 sin) 0.3 G, with G = 2 and D = 1.
    const double expected =
        0.5 * (1 + 0.5 * std::cos(2.3478643 * 321.0) + 0.5 * std::sin(321.0 * 3.1416 * 3.86231234)) * 0.6;
    EXPECT_FLOAT_EQ(flashAt(321, burstAt(321)), static_cast<float>(expected));
    // H = G (1 - (1 - D)^2) halfway up the first burst.
    EXPECT_DOUBLE_EQ(glowMix(burstAt(258)), 0.75 * 0.75);
}

TEST(Timeline, TitleShapeWidensFromNinetySixToOneSixty) {
    struct Case {
        float t;
        double k, l, b;
    };
    const Case cases[] = {
        {-5, 0.53675, 0.915, 0}, {95.9f, 0.53675, 0.915, 0}, {96, 0.53675, 0.915, 0},
        {128, 0.53675 + 0.46325 * 0.25, 0.915 + 0.085 * 0.25, 0.25}, {160, 1, 1, 1}, {400, 1, 1, 1},
    };
    for (const Case& c : cases) {
        const TitleShape s = titleShapeAt(c.t);
        EXPECT_NEAR(s.k, c.k, 1e-12) << c.t;
        EXPECT_NEAR(s.l, c.l, 1e-12) << c.t;
        EXPECT_NEAR(s.b, c.b, 1e-12) << c.t;
    }
    EXPECT_NEAR(titleShapeAt(159.999f).k, 1.0, 1e-4);
}

TEST(Timeline, GlowLevelsOutsideBurstsAndSwells) {
    for (int k = 0; k <= 8; ++k) {
        const double f = k / 8.0;
        const GlowLevelWeights w = glowLevelWeights(k, 0.0, 0.0f, 0.0);
        EXPECT_NEAR(w.centreAlpha, (1 - f) * (1 - f), 1e-12) << k;
        EXPECT_NEAR(w.cornerAlpha, 0.1 * f * (1 - f), 1e-12) << k;
        EXPECT_EQ(w.spread, 0.0) << k;
    }
    EXPECT_NEAR(glowLevelWeights(1, 0, 0, 0).centreAlpha, 0.765625, 1e-12);
    EXPECT_NEAR(glowLevelWeights(4, 0, 0, 1).spread, 8.0, 1e-12);
}

TEST(Timeline, GlowLevelsUnderFullMixAndSwell) {
    // H = 2: the first third of the chain gets weight 0, the last level weight 1 (clamped).
    EXPECT_EQ(glowLevelWeights(0, 2.0, 0.0f, 1).centreAlpha, 0.0);
    EXPECT_EQ(glowLevelWeights(2, 2.0, 0.0f, 1).centreAlpha, 0.0);
    EXPECT_NEAR(glowLevelWeights(8, 2.0, 0.0f, 1).centreAlpha, 0.0, 1e-12);  // g = 1
    EXPECT_NEAR(glowLevelWeights(4, 2.0, 0.0f, 1).centreAlpha, 0.5 * 0.5, 1e-12);
    // S2 up: every level but the last saturates its centre and loses its corners.
    for (int k = 0; k < 8; ++k) {
        const GlowLevelWeights w = glowLevelWeights(k, 0.0, 0.938f, 0);
        EXPECT_GT(w.centreAlpha, 1.0) << k;
        EXPECT_LT(w.cornerAlpha, 0.0) << k;
    }
}

TEST(Timeline, LogoVisibilityEdgesAndFullAlpha) {
    EXPECT_FLOAT_EQ(logoAlpha(64), 1.0f);
    EXPECT_FLOAT_EQ(logoAlpha(512), 1.0f);
    const auto early = windowWhere(-20, 200, [](float t) { return logoAlpha(t) > 0; });
    EXPECT_NEAR(early.first, 13.9, 0.06);
    EXPECT_NEAR(early.second, 114.1, 0.06);
    const auto late = windowWhere(300, 607, [](float t) { return logoAlpha(t) > 0; });
    EXPECT_NEAR(late.first, 461.8, 0.06);
    EXPECT_NEAR(late.second, 562.2, 0.06);
    for (float t : {128.0f, 200.0f, 447.99f, 576.01f, 600.0f}) EXPECT_EQ(logoAlpha(t), 0.0f) << t;
    EXPECT_LT(logoAlpha(-13), 0.0f);
}

TEST(Timeline, CreditsWindow) {
    struct Case {
        float t;
        bool shown;
        float alpha;
    };
    const Case cases[] = {{479.99f, false, 0}, {480, true, 0},   {496, true, 0.5f},
                          {512, true, 1},      {543.9f, true, 1}, {544, false, 0}};
    for (const Case& c : cases) {
        const auto a = creditsAlpha(c.t);
        ASSERT_EQ(a.has_value(), c.shown) << c.t;
        if (c.shown) {
            EXPECT_FLOAT_EQ(*a, c.alpha) << c.t;
        }
    }
}

TEST(Timeline, StarSphereToneAtTheTableBoundaries) {
    struct Case {
        float t, grey, fog;
    };
    const Case cases[] = {
        {-1, 0, -1.0f / 32768}, {0, 0, 0},         {16, 0, 0.125f},  {31.99f, 0, 0.9990628f},
        {32, 0, 1},             {479.99f, 0, 1},   {480, 0, 1},      {512, 0.125f, 0.5f},
        {544, 16, 1e-7f},       {575.99f, 16, 1e-7f}, {576, 1, 1},   {592, 0.125f, 0.5f},
        {607, 1.0f / 32768, 1.0f / 32}, {650, 0, 0},
    };
    for (const Case& c : cases) {
        const StarSphereTone s = starSphereToneAt(c.t);
        EXPECT_FLOAT_EQ(s.grey, c.grey) << c.t;
        EXPECT_FLOAT_EQ(s.fog, c.fog) << c.t;
    }
}

TEST(Timeline, StarSphereFieldOfView) {
    EXPECT_FLOAT_EQ(starSphereFov(0), 95.0f);
    EXPECT_NEAR(starSphereFov(352), 230 * std::pow(0.9, 10) + 95, 1e-3);
    EXPECT_NEAR(starSphereFov(352), 175.2, 0.05);
    EXPECT_FLOAT_EQ(starSphereFov(704), 95.0f);
    float widest = 0;
    for (int k = -100; k <= 6100; ++k) widest = std::max(widest, starSphereFov(k * 0.1f));
    EXPECT_LE(widest, 230 * std::pow(0.9, 10) + 95 + 1e-3);
}

TEST(Timeline, CoreSwellAtRestAndAtItsPeak) {
    const CoreSwell rest = coreSwellAt(0);
    EXPECT_EQ(rest.brightness, 1.0);
    EXPECT_EQ(rest.overall, 1.0f);
    EXPECT_EQ(rest.ball, 1.0f);
    const CoreSwell peak = coreSwellAt(352);
    EXPECT_NEAR(peak.overall, -0.405, 0.001);
    EXPECT_NEAR(peak.ball, 3.201, 0.001);
    EXPECT_NEAR(peak.brightness, 0.574, 0.001);
    const auto mirrored = windowWhere(0, 607, [](float t) { return coreSwellAt(t).overall < 0; });
    EXPECT_NEAR(mirrored.first, 319.4, 0.06);
    EXPECT_NEAR(mirrored.second, 384.6, 0.06);
}

TEST(Timeline, ParticleLoopStepsDownToOneAndEndsAtTheLimit) {
    // (first i with this step, step)
    std::vector<std::pair<int, int>> changes;
    int i = 0, count = 0;
    while (i < kParticleLimit) {
        const int step = particleStep(i);
        if (changes.empty() || changes.back().second != step) changes.push_back({i, step});
        ++count;
        i += step;
    }
    EXPECT_EQ(i, 8000);
    EXPECT_EQ(count, 5519);
    const std::vector<std::pair<int, int>> expected = {{0, 5}, {5, 4}, {1073, 3}, {2345, 2}, {4001, 1}};
    EXPECT_EQ(changes, expected);
}

}  // namespace

TEST(Timeline, SectionsTileTheShowInOrder) {
    const auto& sections = showSections();
    EXPECT_EQ(sections.front().from, sceneTime(0));
    EXPECT_EQ(sections.back().to, kShowEnd);
    for (int k = 0; k < kShowSectionCount; ++k) {
        EXPECT_LT(sections[k].from, sections[k].to) << sections[k].name;
        if (k > 0) {
            EXPECT_EQ(sections[k].from, sections[k - 1].to) << sections[k].name;
        }
        EXPECT_EQ(showSectionAt(sections[k].from), k) << sections[k].name;
        EXPECT_EQ(showSectionAt(std::nextafter(sections[k].to, -1e9f)), k) << sections[k].name;
    }
}

TEST(Timeline, SectionsNameTheStretchesTheEnvelopesMark) {
    struct Case {
        float t;
        const char* section;
    };
    const Case cases[] = {
        {-14, "title"},    {0, "title"},       {159.9f, "title"},  {160, "plain"},    {256.9f, "plain"},
        {257, "burst 1"},  {260.9f, "burst 1"}, {261, "swell"},    {309.9f, "swell"}, {310, "burst 2"},
        {331.9f, "burst 2"}, {332, "streaks"}, {416.9f, "streaks"}, {417, "burst 3"}, {426.9f, "burst 3"},
        {427, "breakdown"}, {479.9f, "breakdown"}, {480, "credits"}, {543.9f, "credits"},
        {544, "white-out"}, {575.9f, "white-out"}, {576, "end fade"}, {606.9f, "end fade"}, {700, "end fade"},
    };
    for (const Case& c : cases) EXPECT_STREQ(showSections()[showSectionAt(c.t)].name, c.section) << c.t;

    // Every t with a burst lies in a burst section and every t with credits in the credits one.
    for (float t = -1; t < kShowEnd; t += 0.25f) {
        const std::string name = showSections()[showSectionAt(t)].name;
        EXPECT_EQ(burstAt(t).strength != 1.0, name.compare(0, 5, "burst") == 0) << t;
        EXPECT_EQ(creditsAlpha(t).has_value(), name == "credits") << t;
        EXPECT_EQ(titleShapeAt(t).b < 1.0, name == "title") << t;
    }
}
