#include "content/SpriteTrim.h"

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "content/BandPass.h"

namespace content {

void TexturedPlane::at(double s, double t, double* point) const {
    for (int i = 0; i < 3; ++i) point[i] = origin[i] + s * alongS[i] + t * alongT[i];
}

TexelsPerPixel texelsPerPixelRange(const TexturedPlane& plane, const double* m, int viewportWidth, int viewportHeight,
                                   int texWidth, int texHeight) {
    // Clip coordinates c(s, t) = c0 + s cs + t ct. Window x = (X / W) w / 2 + x0 (y likewise), so
    // its Jacobian in (s, t) is D N / W^2 with D = diag(w / 2, h / 2) and N's entries affine in
    // (s, t): N = [[cs.x W - X cs.w, ct.x W - X ct.w], [cs.y W - Y cs.w, ct.y W - Y ct.w]]. For a
    // plane det N = k W with k constant, so the inverse, the texture coordinates per pixel, is
    // W adj(N) D^-1 / k: products of affine functions, each bounded on the square by the largest
    // values of its factors at the corners.
    auto transform = [m](const double* v, double w, double* out) {
        for (int r = 0; r < 4; ++r) out[r] = m[r] * v[0] + m[4 + r] * v[1] + m[8 + r] * v[2] + m[12 + r] * w;
    };
    double c0[4], cs[4], ct[4];
    transform(plane.origin, 1.0, c0);
    transform(plane.alongS, 0.0, cs);
    transform(plane.alongT, 0.0, ct);
    // Only what is drawn counts: the square clipped to the view volume (-w <= x, y, z <= w),
    // each of whose bounds is affine in (s, t), so the visible part is a convex polygon.
    // At most 4 + 6 corners: each of the six bounds adds at most one.
    struct Polygon {
        std::array<std::array<double, 2>, 10> corner;
        std::size_t size = 0;
        bool empty() const { return size == 0; }
        void push_back(const std::array<double, 2>& c) { corner[size++] = c; }
    };
    Polygon polygon, clipped;
    for (const auto& c : {std::array<double, 2>{0, 0}, {1, 0}, {1, 1}, {0, 1}}) polygon.push_back(c);
    // Most quads lie wholly inside (the volume is convex): then nothing is clipped.
    bool inside = true;
    for (std::size_t i = 0; i < polygon.size && inside; ++i) {
        const std::array<double, 2>& p = polygon.corner[i];
        const double w = c0[3] + p[0] * cs[3] + p[1] * ct[3];
        for (int axis = 0; axis < 3; ++axis)
            inside = inside && std::abs(c0[axis] + p[0] * cs[axis] + p[1] * ct[axis]) <= w;
    }
    for (int axis = 0; axis < 3 && !inside && !polygon.empty(); ++axis) {
        for (const double side : {1.0, -1.0}) {
            // Inside where w - side * c[axis] >= 0.
            auto inside = [&](const std::array<double, 2>& p) {
                const double w = c0[3] + p[0] * cs[3] + p[1] * ct[3];
                const double v = c0[axis] + p[0] * cs[axis] + p[1] * ct[axis];
                return w - side * v;
            };
            clipped.size = 0;
            for (std::size_t i = 0; i < polygon.size; ++i) {
                const auto& a = polygon.corner[i];
                const auto& b = polygon.corner[(i + 1) % polygon.size];
                const double da = inside(a), db = inside(b);
                if (da >= 0) clipped.push_back(a);
                if ((da >= 0) != (db >= 0)) {
                    const double f = da / (da - db);
                    clipped.push_back({a[0] + f * (b[0] - a[0]), a[1] + f * (b[1] - a[1])});
                }
            }
            polygon = clipped;
            if (polygon.empty()) break;
        }
    }
    if (polygon.empty()) return {0.0, 0.0};  // nothing of it is drawn
    double maxW = 0, minW = std::numeric_limits<double>::infinity(), maxN[2][2] = {},
           k = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < polygon.size; ++i) {
        const std::array<double, 2>& corner = polygon.corner[i];
        double c[4];
        for (int r = 0; r < 4; ++r) c[r] = c0[r] + corner[0] * cs[r] + corner[1] * ct[r];
        const double n[2][2] = {{cs[0] * c[3] - c[0] * cs[3], ct[0] * c[3] - c[0] * ct[3]},
                                {cs[1] * c[3] - c[1] * cs[3], ct[1] * c[3] - c[1] * ct[3]}};
        maxW = std::max(maxW, std::abs(c[3]));
        minW = std::min(minW, c[3]);
        for (int r = 0; r < 2; ++r)
            for (int q = 0; q < 2; ++q) maxN[r][q] = std::max(maxN[r][q], std::abs(n[r][q]));
        if (std::abs(c[3]) > 1e-9) k = std::min(k, std::abs((n[0][0] * n[1][1] - n[0][1] * n[1][0]) / c[3]));
    }
    if (!(k > 0) || std::isinf(k)) return {0.0, std::numeric_limits<double>::infinity()};
    const double perX = 2.0 * maxW / (viewportWidth * k), perY = 2.0 * maxW / (viewportHeight * k);
    // ds/dx = W n11 (2 / w) / k, dt/dx = -W n10 (2 / w) / k; ds/dy = -W n01 (2 / h) / k, dt/dy = W n00 (2 / h) / k.
    const double alongX = std::hypot(texWidth * maxN[1][1] * perX, texHeight * maxN[1][0] * perX);
    const double alongY = std::hypot(texWidth * maxN[0][1] * perY, texHeight * maxN[0][0] * perY);
    // det(J^-1) = W^3 / (det D k): the product of the two singular values, the larger of which is
    // at most sqrt(2) times the scale factor. W is affine: its least on the drawn polygon is at a
    // corner (the polygon lies in front of the eye, so it is positive).
    const double least = minW > 0 ? std::sqrt(static_cast<double>(texWidth) * texHeight * minW * minW * minW /
                                              (viewportWidth * 0.5 * viewportHeight * 0.5 * k)) / std::sqrt(2.0)
                                  : 0.0;
    return {std::min(least, std::max(alongX, alongY)), std::max(alongX, alongY)};
}

int largestSampledLevel(double texelsPerPixel) {
    if (!(texelsPerPixel < 1e9)) return std::numeric_limits<int>::max();
    if (texelsPerPixel <= 1.0) return 0;
    return static_cast<int>(std::ceil(std::log2(texelsPerPixel) + 0.5));
}

int smallestSampledLevel(double texelsPerPixel) {
    if (!(texelsPerPixel > 1.0)) return 0;
    return std::max(0, static_cast<int>(std::floor(std::log2(texelsPerPixel) - 1.5)));
}

int addingThreshold(float alpha) {
    const int a = frameBufferLevel(alpha);
    if (a == 0) return 256;
    return (128 + a - 1) / a;
}

assets::TexelBounds::Region SpriteTrim::regionFor(const TexturedPlane& plane, const double* clipFromObject,
                                                  float alpha) const {
    const TexelsPerPixel rho =
        texelsPerPixelRange(plane, clipFromObject, viewportWidth, viewportHeight, textureWidth, textureHeight);
    const int threshold = addingThreshold(alpha);
    if (rho.most <= 0 || bounds->peakFrom(smallestSampledLevel(rho.least)) < threshold) return {0, 0, 0, 0};
    return bounds->sampled(threshold, largestSampledLevel(rho.most));
}

void currentClipFromObject(double* clipFromObject) {
    double p[16], mv[16];
    glGetDoublev(GL_PROJECTION_MATRIX, p);
    glGetDoublev(GL_MODELVIEW_MATRIX, mv);
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            double sum = 0;
            for (int k = 0; k < 4; ++k) sum += p[k * 4 + r] * mv[c * 4 + k];
            clipFromObject[c * 4 + r] = sum;
        }
}

}  // namespace content
