// The bounds on texels per pixel that pick the mipmap levels a trimmed sprite can sample, and
// the threshold a sample must reach to add anything.
#include "content/SpriteTrim.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

using content::TexturedPlane;

void perspective(double* m, double fovY, double aspect, double zNear, double zFar) {
    std::fill(m, m + 16, 0.0);
    const double f = 1.0 / std::tan(fovY / 2);
    m[0] = f / aspect;
    m[5] = f;
    m[10] = (zFar + zNear) / (zNear - zFar);
    m[11] = -1;
    m[14] = 2 * zFar * zNear / (zNear - zFar);
}

void multiply(const double* a, const double* b, double* out) {
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            double sum = 0;
            for (int k = 0; k < 4; ++k) sum += a[k * 4 + r] * b[c * 4 + k];
            out[c * 4 + r] = sum;
        }
}

// GL's scale factor at (s, t), from the window position's derivatives by central differences;
// negative where the point is not drawn (outside the view volume).
double measuredTexelsPerPixel(const TexturedPlane& plane, const double* m, double s, double t, int vw, int vh,
                              int tw, int th) {
    auto window = [&](double ss, double tt, double* xy) {
        double p[3];
        plane.at(ss, tt, p);
        double c[4];
        for (int r = 0; r < 4; ++r) c[r] = m[r] * p[0] + m[4 + r] * p[1] + m[8 + r] * p[2] + m[12 + r];
        xy[0] = c[0] / c[3] * vw / 2;
        xy[1] = c[1] / c[3] * vh / 2;
        return c[3] > 0 && std::abs(c[0]) <= c[3] && std::abs(c[1]) <= c[3] && std::abs(c[2]) <= c[3];
    };
    const double h = 1e-6;
    double a[2], b[2], c[2], d[2], centre[2];
    if (!window(s, t, centre)) return -1;
    window(s + h, t, a);
    window(s - h, t, b);
    window(s, t + h, c);
    window(s, t - h, d);
    const double xs = (a[0] - b[0]) / (2 * h), ys = (a[1] - b[1]) / (2 * h);
    const double xt = (c[0] - d[0]) / (2 * h), yt = (c[1] - d[1]) / (2 * h);
    const double det = xs * yt - xt * ys;
    const double dsdx = yt / det, dsdy = -xt / det, dtdx = -ys / det, dtdy = xs / det;
    return std::max(std::hypot(tw * dsdx, th * dtdx), std::hypot(tw * dsdy, th * dtdy));
}

TEST(TexelsPerPixelRange, IsExactForAFlatSquare) {
    // Orthographic identity: the square 0 .. 0.5 in x (s) and 0 .. 0.25 in y (t) over a 512 x 256
    // viewport spans 128 x 32 pixels.
    const double identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const TexturedPlane plane{{0, 0, 0}, {0.5, 0, 0}, {0, 0.25, 0}};
    const content::TexelsPerPixel square = content::texelsPerPixelRange(plane, identity, 512, 256, 256, 256);
    EXPECT_NEAR(square.most, 256.0 / 32, 1e-9);
    // The least from the area: sqrt(256 * 256 / (128 * 32)) / sqrt(2).
    EXPECT_NEAR(square.least, 4.0 / std::sqrt(2.0), 1e-9);
    EXPECT_NEAR(content::texelsPerPixelRange(plane, identity, 512, 256, 64, 16).most, 64.0 / 128, 1e-9);
}

TEST(TexelsPerPixelRange, HoldsEverywhereOnTheDrawnPartInPerspective) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> u(-1, 1);
    double projection[16];
    perspective(projection, 1.0, 2.0, 0.1, 1000.0);
    int tight = 0;
    for (int trial = 0; trial < 300; ++trial) {
        double modelView[16] = {};
        for (int c = 0; c < 3; ++c)
            for (int r = 0; r < 3; ++r) modelView[c * 4 + r] = 3 * u(random);
        modelView[12] = 5 * u(random);
        modelView[13] = 5 * u(random);
        modelView[14] = -15 + 10 * u(random);
        modelView[15] = 1;
        double m[16];
        multiply(projection, modelView, m);
        const TexturedPlane plane{{u(random), u(random), u(random)},
                                  {5 * u(random), 5 * u(random), 5 * u(random)},
                                  {5 * u(random), 5 * u(random), 5 * u(random)}};
        const content::TexelsPerPixel range = content::texelsPerPixelRange(plane, m, 512, 256, 256, 128);
        double worst = 0, best = INFINITY;
        for (int i = 0; i <= 16; ++i)
            for (int j = 0; j <= 16; ++j) {
                const double rho = measuredTexelsPerPixel(plane, m, i / 16.0, j / 16.0, 512, 256, 256, 128);
                if (rho < 0) continue;  // not drawn
                worst = std::max(worst, rho);
                best = std::min(best, rho);
            }
        ASSERT_GE(range.most * (1 + 1e-4), worst) << "trial " << trial;
        if (worst > 0) {
            ASSERT_LE(range.least, best * (1 + 1e-4)) << "trial " << trial;
            tight += range.most < 4 * worst && range.least > best / 4;
        }
    }
    EXPECT_GT(tight, 100);  // bounds, but not useless ones
}

TEST(TexelsPerPixelRange, NothingDrawnAndEdgeOn) {
    const double identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const TexturedPlane outside{{2, 2, 0}, {0.5, 0, 0}, {0, 0.5, 0}};  // beyond x = w
    EXPECT_EQ(content::texelsPerPixelRange(outside, identity, 512, 256, 256, 256).most, 0.0);
    const TexturedPlane edgeOn{{0, 0, 0}, {0, 0, 0.5}, {0, 0.5, 0}};  // s runs along the view
    EXPECT_TRUE(std::isinf(content::texelsPerPixelRange(edgeOn, identity, 512, 256, 256, 256).most));
}

TEST(LargestSampledLevel, TheNearestLevelWithOneToSpare) {
    const struct {
        double rho;
        int level;
    } cases[] = {{0.0, 0}, {0.5, 0}, {1.0, 0}, {1.2, 1}, {1.5, 2}, {2.0, 2}, {3.0, 3}, {8.0, 4}, {1000.0, 11}};
    for (const auto& c : cases) EXPECT_EQ(content::largestSampledLevel(c.rho), c.level) << "rho " << c.rho;
    EXPECT_GT(content::largestSampledLevel(INFINITY), 30);
}

TEST(SmallestSampledLevel, TheNearestLevelWithALevelAndAHalfToSpare) {
    const struct {
        double rho;
        int level;
    } cases[] = {{0.0, 0}, {1.0, 0}, {4.0, 0}, {5.7, 1}, {8.0, 1}, {64.0, 4}, {1000.0, 8}};
    for (const auto& c : cases) EXPECT_EQ(content::smallestSampledLevel(c.rho), c.level) << "rho " << c.rho;
    for (const double rho : {0.5, 3.0, 40.0, 700.0})
        EXPECT_LE(content::smallestSampledLevel(rho), content::largestSampledLevel(rho)) << "rho " << rho;
}

TEST(AddingThreshold, FollowsTheBlendsRounding) {
    // The 8-bit alpha a = round(alpha * 255); a sample s adds when s * a >= 128.
    const struct {
        float alpha;
        int threshold;
    } cases[] = {{0.01f, 43}, {0.015f, 32}, {0.05f, 10}, {0.1f, 5}, {1.0f, 1}, {2.0f, 1}, {0.0f, 256}, {-1.0f, 256},
                 {1.0f / 255, 128}, {0.0019f, 256}};
    for (const auto& c : cases) EXPECT_EQ(content::addingThreshold(c.alpha), c.threshold) << "alpha " << c.alpha;
}

}  // namespace
