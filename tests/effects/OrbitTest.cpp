#include "effects/Orbit.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace effects;

TEST(Orbit, ConstantsAsTheShowStoresThem) {
    EXPECT_EQ(static_cast<double>(kOrbitRate), 0.08531250059604645);
    EXPECT_NEAR(kSwellRate * 352, 1.0, 1e-15);
}

TEST(Orbit, EyeAndTiltAtTheStart) {
    EXPECT_EQ(orbitZoom(0), 1.0f);
    const Vec3d eye = orbitEye(0);
    EXPECT_DOUBLE_EQ(eye.x, 0.0);
    EXPECT_DOUBLE_EQ(eye.y, -900.0);
    EXPECT_DOUBLE_EQ(eye.z, 1005.85);
    EXPECT_EQ(orbitTilt(0), -150.0f);
}

TEST(Orbit, EyeNearTheAxisAtTheSwellPeak) {
    const float r = orbitZoom(352);
    EXPECT_NEAR(r, 0.01, 1e-7);
    // r is single precision: the eye uses the float value.
    EXPECT_EQ(orbitZoomExact(352) == static_cast<double>(r), false);
    const double phi = 352.0 * 3.1416 * 0.125 * 0.08531250059604645;
    EXPECT_DOUBLE_EQ(orbitAngle(352), phi);
    const double r2 = static_cast<double>(r) * r;
    const Vec3d eye = orbitEye(352);
    EXPECT_DOUBLE_EQ(eye.x, -900 * r2 * std::sin(phi));
    EXPECT_DOUBLE_EQ(eye.y, -900 * r2 * std::cos(phi));
    EXPECT_NEAR(eye.x, -0.09 * std::sin(phi), 1e-5);
    EXPECT_NEAR(eye.y, -0.09 * std::cos(phi), 1e-5);
    EXPECT_NEAR(eye.z, 5.95, 1e-5);
    EXPECT_FLOAT_EQ(orbitTilt(352), static_cast<float>(-150 * std::cos(phi / 2)));
}

TEST(Orbit, ZoomPeriodIsSevenHundredFourBeats) {
    for (float t : {0.0f, 100.0f, 200.0f}) EXPECT_NEAR(orbitZoom(t), orbitZoom(t + 704), 1e-5) << t;
    EXPECT_NEAR(orbitZoom(176), 0.505, 1e-4);
}

}  // namespace
