#include "Textures.h"

#include <algorithm>
#include <cmath>

#include "Noise.h"
#include "Random.h"
#include "TextRenderer.h"

namespace contentgen {

const char* const kTitleFont = "Liberation Sans:bold";
const char* const kCreditsFont = "Liberation Sans:bold";
const char* const kCreditsSmallFont = "Liberation Sans:italic";

namespace {

constexpr float kPi = 3.14159265358979f;

float clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }
float smoothstep(float e0, float e1, float v) {
    const float t = clamp01((v - e0) / (e1 - e0));
    return t * t * (3.0f - 2.0f * t);
}
Rgb mix(Rgb a, Rgb b, float t) { return a * (1.0f - t) + b * t; }

// Black, deep red, orange, yellow, white: the colour of heat v (0 ... 1).
Rgb fireRamp(float v) {
    v = clamp01(v);
    return {smoothstep(0.0f, 0.42f, v), smoothstep(0.2f, 0.78f, v) * 0.92f, smoothstep(0.62f, 1.0f, v) * 0.85f};
}

// Distance from the picture's centre in units of half its size: 1 at the middle of each edge.
float radial(int x, int y, int w, int h) {
    const float dx = (x + 0.5f) / w * 2.0f - 1.0f, dy = (y + 0.5f) / h * 2.0f - 1.0f;
    return std::sqrt(dx * dx + dy * dy);
}

// Fades a sprite to exact black well before its edges, so no quad border ever shows.
float edgeFade(float d) { return 1.0f - smoothstep(0.72f, 0.97f, d); }

template <typename F>
Image paintEach(int w, int h, F f) {
    Image img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.at(x, y) = f(x, y);
    return img;
}

// Light and glow: a warm round light with faint rays, black at the rim.
Image paintLight(int w, int h) {
    return paintEach(w, h, [&](int x, int y) {
        const float d = radial(x, y, w, h);
        const float a = std::atan2((y + 0.5f) / h - 0.5f, (x + 0.5f) / w - 0.5f);
        const float ray = std::pow(clamp01(0.5f + 0.5f * noise2(a / (2 * kPi) * 24.0f, 0.5f, 24, 1, 101)), 4.0f);
        const float core = std::exp(-d * d * 40.0f), glow = std::exp(-d * d * 5.0f), halo = std::exp(-d * 2.6f);
        const float v = (0.85f * core + 0.55f * glow + 0.25f * halo + 0.35f * ray * halo) * edgeFade(d);
        return mix(Rgb{1.0f, 0.55f, 0.22f}, Rgb{1.0f, 0.95f, 0.85f}, clamp01(core + 0.5f * glow)) * v;
    });
}

// Glowing energy veins on dark embers; tiles both ways (the ball and the ring bands repeat it).
Image paintEnergy(int w, int h) {
    return paintEach(w, h, [&](int x, int y) {
        const float u = x * 4.0f / w, v = y * 4.0f / h;
        const float wx = 0.9f * fbm2(u + 0.3f, v, 4, 4, 4, 0.5f, 201);
        const float wy = 0.9f * fbm2(u, v + 1.7f, 4, 4, 4, 0.5f, 202);
        const float n = fbm2(u + wx, v + wy, 4, 4, 5, 0.55f, 203);
        const float vein = std::pow(clamp01(1.0f - std::fabs(n) * 2.2f), 5.0f);
        const float embers = 0.5f + 0.5f * fbm2(u * 2.0f, v * 2.0f, 8, 8, 4, 0.5f, 204);
        const float heat = 0.06f + 0.3f * embers * embers * embers + 0.8f * vein;
        // Dark overall: the frame composer sums about three copies of the picture into its glow,
        // so only the veins should reach full brightness on screen.
        return fireRamp(heat) * 0.45f;
    });
}

// Faint dark smoke: wisps of grey-violet turbulence that die out towards the rim.
Image paintSmoke(int w, int h) {
    return paintEach(w, h, [&](int x, int y) {
        const float d = radial(x, y, w, h);
        const float u = x * 3.0f / w, v = y * 3.0f / h;
        const float warp = fbm2(u, v, 3, 3, 3, 0.5f, 301);
        const float t = std::fabs(fbm2(u + warp, v - warp, 3, 3, 5, 0.6f, 302));
        const float smoke = std::pow(clamp01(1.0f - t * 2.4f), 2.0f) * 0.6f + 0.2f * smoothstep(-0.3f, 0.6f, warp);
        const float fade = std::pow(edgeFade(d) * (1.0f - smoothstep(0.0f, 0.95f, d) * 0.6f), 1.5f);
        return Rgb{0.34f, 0.30f, 0.40f} * (smoke * fade);
    });
}

// Flames rising from the bottom edge.
Image paintFlames(int w, int h) {
    return paintEach(w, h, [&](int x, int y) {
        const float fx = (x + 0.5f) / w, fy = 1.0f - (y + 0.5f) / h;  // fy: height above the bottom
        const float n = fbm2(fx * 6.0f, fy * 3.0f - 0.0f, 6, 3, 5, 0.55f, 401);
        const float column = 1.0f - smoothstep(0.15f, 0.5f, std::fabs(fx - 0.5f));
        const float heat = (1.0f - fy * 1.25f + 0.55f * n) * column;
        return fireRamp(heat * 1.1f);
    });
}

// A soft fiery cloud: warped turbulence in fire colours with dark gaps between the flames,
// bright inside, black at the rim. Drawn huge, so it carries detail down to a few texels.
Image paintFireCloud(int w, int h) {
    return paintEach(w, h, [&](int x, int y) {
        const float d = radial(x, y, w, h);
        const float u = x * 5.0f / w, v = y * 5.0f / h;
        const float wx = fbm2(u, v, 5, 5, 4, 0.5f, 501), wy = fbm2(u + 3.1f, v + 1.3f, 5, 5, 4, 0.5f, 502);
        const float n = 0.5f + 0.5f * fbm2(u + 1.2f * wx, v + 1.2f * wy, 5, 5, 7, 0.6f, 503);
        const float flames = std::pow(clamp01(1.0f - std::fabs(fbm2(u * 2.0f + wx, v * 2.0f + wy, 10, 10, 5, 0.55f, 504)) * 3.0f), 3.0f);
        const float body = std::exp(-d * d * 2.2f) * edgeFade(d);
        const float heat = body * (0.1f + 1.1f * n * n * n + 0.45f * flames) + 0.25f * std::exp(-d * d * 14.0f);
        return fireRamp(heat);
    });
}

// A fiery spiral: three arms of hot turbulence winding out from a bright core.
Image paintFireSpiral(int w, int h) {
    return paintEach(w, h, [&](int x, int y) {
        const float dx = (x + 0.5f) / w * 2.0f - 1.0f, dy = (y + 0.5f) / h * 2.0f - 1.0f;
        const float d = std::sqrt(dx * dx + dy * dy);
        const float a = std::atan2(dy, dx);
        const float turb = fbm2(x * 6.0f / w, y * 6.0f / h, 6, 6, 5, 0.55f, 601);
        const float arm = 0.5f + 0.5f * std::cos(3.0f * a + 7.5f * std::log(d + 0.04f) + 2.2f * turb);
        const float arms = std::pow(arm, 2.5f) * (0.6f + 0.6f * (0.5f + 0.5f * turb));
        const float heat = (arms * std::exp(-d * 1.6f) * 1.25f + 0.7f * std::exp(-d * d * 18.0f)) * edgeFade(d);
        return fireRamp(heat);
    });
}

// A soft round particle with a bright white core and a golden halo.
Image paintParticle(int w, int h) {
    return paintEach(w, h, [&](int x, int y) {
        const float d = radial(x, y, w, h);
        const float core = std::exp(-d * d * 28.0f), halo = std::exp(-d * d * 4.5f) * 0.5f;
        return mix(Rgb{1.0f, 0.82f, 0.55f}, Rgb{1.0f, 1.0f, 1.0f}, clamp01(core * 1.3f)) * ((core + halo) * edgeFade(d));
    });
}

// Blue glow: a deep blue field brightening to a pale cyan centre.
Image paintBlueGlow(int w, int h) {
    return paintEach(w, h, [&](int x, int y) {
        const float d = radial(x, y, w, h);
        const float mottle = 0.85f + 0.3f * (0.5f + 0.5f * fbm2(x * 4.0f / w, y * 4.0f / h, 4, 4, 4, 0.5f, 901));
        const float glow = std::exp(-d * d * 3.2f) * edgeFade(d) * mottle;
        const float core = std::exp(-d * d * 16.0f);
        return Rgb{0.06f, 0.22f, 0.85f} * glow + Rgb{0.45f, 0.65f, 0.35f} * core;
    });
}

// Streaks fanning out from the lower-left corner (the corner the sprite turns about, where
// texture coordinate (0, 1) lies); they fade out before the far edges and along the two sides.
Image paintStreakFan(int w, int h) {
    return paintEach(w, h, [&](int x, int y) {
        const float fx = (x + 0.5f) / w, fy = (h - y - 0.5f) / h;
        const float r = std::sqrt(fx * fx + fy * fy);
        const float a = std::atan2(fy, fx) / (0.5f * kPi);  // 0 along the bottom edge, 1 up the left edge
        const float fine = 0.5f + 0.5f * noise2(a * 90.0f, 0.3f, 1 << 20, 1, 1001);
        const float coarse = 0.5f + 0.5f * noise2(a * 14.0f, 2.7f, 1 << 20, 1, 1002);
        const float length = 0.45f + 0.5f * (0.5f + 0.5f * noise2(a * 30.0f, 5.1f, 1 << 20, 1, 1003));
        const float streak = std::pow(fine, 6.0f) * 1.6f + std::pow(coarse, 3.0f) * 0.35f;
        const float along = (1.0f - smoothstep(length * 0.6f, length, r)) * smoothstep(0.0f, 0.08f, r);
        const float sides = std::pow(std::sin(a * kPi), 0.6f);
        const float border = smoothstep(0.0f, 0.012f, std::min(fx, fy));  // black along the two sides
        const float v = clamp01(1.6f * streak * along * sides * border);
        return Rgb{1.0f, 0.93f, 0.85f} * v;
    });
}

// A star field on the inside of a sphere, laid out for texture coordinates s 0 ... 2 around and
// t 0 ... 1 from pole to pole: the texture wraps left to right without a seam, stars keep round
// shapes at every latitude, and a faint nebula and a milky band cross it.
Image paintStars(int w, int h) {
    Image img(w, h);
    // Each texel maps to a point on a unit sphere (longitude once around the width).
    auto spherePoint = [&](float x, float y, float p[3]) {
        const float lon = (x + 0.5f) / w * 2.0f * kPi, lat = kPi * (0.5f - (y + 0.5f) / h);
        p[0] = std::cos(lat) * std::cos(lon);
        p[1] = std::cos(lat) * std::sin(lon);
        p[2] = std::sin(lat);
    };
    const float band[3] = {0.35f, -0.55f, 0.76f};  // normal of the milky band's great circle
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float p[3];
            spherePoint(static_cast<float>(x), static_cast<float>(y), p);
            const float n = fbm3(p[0] * 2.2f, p[1] * 2.2f, p[2] * 2.2f, 5, 0.55f, 1101);
            const float hue = 0.5f + 0.5f * fbm3(p[0] * 1.3f + 7.0f, p[1] * 1.3f, p[2] * 1.3f, 3, 0.5f, 1102);
            const float cloud = std::pow(smoothstep(-0.05f, 0.65f, n), 2.0f);
            const float b = p[0] * band[0] + p[1] * band[1] + p[2] * band[2];
            const float milky = std::exp(-b * b * 18.0f) * (0.5f + 0.5f * smoothstep(-0.3f, 0.5f, n));
            const Rgb nebula = mix(Rgb{0.30f, 0.10f, 0.42f}, Rgb{0.06f, 0.26f, 0.40f}, hue);
            img.at(x, y) = nebula * (0.3f * cloud) + Rgb{0.16f, 0.15f, 0.2f} * (0.5f * milky);
        }

    Random rng(1103);
    const int stars = w * h / 90;
    for (int i = 0; i < stars; ++i) {
        // Uniform on the sphere, plus an extra share near the milky band.
        float z = static_cast<float>(rng.uniform(-1.0, 1.0));
        const float lon = static_cast<float>(rng.uniform(0.0, 2.0 * kPi));
        const float c = std::sqrt(std::max(0.0f, 1.0f - z * z));
        const float p[3] = {c * std::cos(lon), c * std::sin(lon), z};
        const float b = p[0] * band[0] + p[1] * band[1] + p[2] * band[2];
        const double keep = rng.uniform();
        if (keep > 0.45 + 0.55 * std::exp(-b * b * 25.0f)) continue;
        const float lat = std::asin(z);
        const float cx = lon / (2.0f * kPi) * w - 0.5f, cy = (0.5f - lat / kPi) * h - 0.5f;
        const float stretch = std::min(8.0f, 1.0f / std::max(0.125f, std::cos(lat)));

        const double m = rng.uniform();
        const float bright = static_cast<float>(0.1 + 0.9 * std::pow(m, 14.0));
        const float sigma = 0.38f + 0.6f * bright;
        const double tint = rng.uniform();
        const Rgb colour = tint < 0.25 ? Rgb{0.70f, 0.82f, 1.0f}
                         : tint < 0.7  ? Rgb{1.0f, 1.0f, 1.0f}
                         : tint < 0.9  ? Rgb{1.0f, 0.9f, 0.7f}
                                       : Rgb{1.0f, 0.68f, 0.5f};
        const int rx = static_cast<int>(std::ceil(3.0f * sigma * stretch)), ry = static_cast<int>(std::ceil(3.0f * sigma));
        for (int dy = -ry; dy <= ry; ++dy) {
            const int py = static_cast<int>(std::lround(cy)) + dy;
            if (py < 0 || py >= h) continue;
            for (int dx = -rx; dx <= rx; ++dx) {
                const int px = static_cast<int>(std::lround(cx)) + dx;
                const float ex = (px - cx) / stretch, ey = py - cy;
                const float g = std::exp(-(ex * ex + ey * ey) / (2.0f * sigma * sigma));
                img.addWrapped(px, py, colour * (bright * 1.4f * g));
            }
        }
    }
    return img;
}

// A text strip: text coverage filled with a vertical gradient over a two-layer glow and a thin
// horizontal light line, black at every border (it is added over the picture).
struct StripLine {
    const char* text;
    const char* font;
    TextRenderer::Style style;
    float baseline;  // fraction of the strip's height
};

Image paintStrip(int w, int h, const std::vector<StripLine>& lines, Rgb glowColour, Rgb top, Rgb bottom,
                 float lineStrength) {
    Mask text(w, h);
    float textTop = static_cast<float>(h), textBottom = 0.0f;
    for (const StripLine& line : lines) {
        const TextRenderer renderer(line.font);
        const float width = renderer.measure(line.text, line.style);
        const float baseline = line.baseline * h;
        renderer.draw(text, line.text, line.style, std::round((w - width) * 0.5f), baseline);
        textTop = std::min(textTop, baseline - line.style.size * line.style.stretch * 0.75f);
        textBottom = std::max(textBottom, baseline);
    }
    const Mask innerGlow = blur(text, h / 40.0f), outerGlow = blur(text, h / 9.0f);
    const float cy = 0.5f * h;
    Image img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float gy = clamp01((y - textTop) / std::max(1.0f, textBottom - textTop));
            const float sheen = 1.0f - 0.35f * std::exp(-(gy - 0.55f) * (gy - 0.55f) * 60.0f);
            const Rgb fill = mix(top, bottom, gy) * sheen;
            const float fx = std::fabs((x + 0.5f) / w * 2.0f - 1.0f);
            const float line = lineStrength * std::exp(-(y - cy) * (y - cy) / 3.0f) * std::pow(1.0f - fx, 3.0f);
            const float border = (1.0f - smoothstep(0.9f, 1.0f, fx)) *
                                 (1.0f - smoothstep(0.8f, 1.0f, std::fabs((y + 0.5f) / h * 2.0f - 1.0f)));
            const float t = text.at(x, y);
            const Rgb glow = glowColour * (0.55f * innerGlow.at(x, y) + 0.9f * outerGlow.at(x, y) + line);
            img.at(x, y) = (fill * t + glow * (1.0f - t)) * border;
        }
    return img;
}

Image paintLogo(int w, int h) {
    TextRenderer::Style style;
    style.size = h * 62 / 128;
    style.stretch = 1.5f;
    style.tracking = h * 18 / 128.0f;
    return paintStrip(w, h, {{"vorthalimex", kTitleFont, style, 0.74f}}, Rgb{0.25f, 0.5f, 1.0f},
                      Rgb{1.0f, 1.0f, 1.0f}, Rgb{0.55f, 0.75f, 1.0f}, 0.6f);
}

Image paintCredits(int w, int h) {
    TextRenderer::Style title;
    title.size = h * 34 / 128;
    title.stretch = 1.45f;
    title.tracking = h * 5 / 128.0f;
    TextRenderer::Style small;
    small.size = h * 27 / 128;
    small.stretch = 1.45f;
    small.tracking = h * 4 / 128.0f;
    return paintStrip(w, h,
                      {{"qel  -  the halcyrne, part 1", kCreditsFont, title, 0.46f},
                       {"code, music and graphics: qel", kCreditsSmallFont, small, 0.86f}},
                      Rgb{1.0f, 0.45f, 0.12f}, Rgb{1.0f, 0.97f, 0.88f}, Rgb{1.0f, 0.72f, 0.35f}, 0.0f);
}

}  // namespace

const std::vector<TextureSpec>& textureSpecs() {
    static const std::vector<TextureSpec> specs = {
        {"valo2c.jpg", 256, 256, false, paintLight},
        {"darkpart.jpg", 256, 256, false, paintSmoke},
        {"fire.jpg", 256, 256, false, paintFlames},
        {"fire2d2b.jpg", 512, 512, false, paintFireCloud},
        {"firetwirlb2.jpg", 512, 512, false, paintFireSpiral},
        {"vorthlogo2b.jpg", 1024, 128, true, paintLogo},
        {"parti1.jpg", 128, 128, false, paintParticle},
        {"stars4.jpg", 1024, 1024, true, paintStars},
        {"valo4.jpg", 512, 512, true, paintEnergy},
        {"blueshift.jpg", 256, 256, false, paintBlueGlow},
        {"roti_2.jpg", 512, 512, false, paintStreakFan},
        {"vorthcredits.jpg", 1024, 128, true, paintCredits},
    };
    return specs;
}

std::vector<uint8_t> makeTextureJpeg(const TextureSpec& spec) {
    return encodeJpeg(spec.paint(spec.width, spec.height), kJpegQuality, spec.fullChroma);
}

}  // namespace contentgen
