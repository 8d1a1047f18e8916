#pragma once
// Small textures and read-backs for the layer and scene tests (GL context current).
#include <GL/gl.h>

#include <array>
#include <initializer_list>
#include <memory>

#include "assets/Texture.h"
#include "support/GlTestContext.h"

namespace testfixtures {

using Rgb = std::array<unsigned char, 3>;

// A 1-wide RGB texture with one texel row per colour, the first colour at t = 0 (the bottom),
// nearest filtering so every row samples exactly.
inline std::unique_ptr<assets::Texture> rowTexture(std::initializer_list<Rgb> rows) {
    const int h = static_cast<int>(rows.size());
    std::unique_ptr<unsigned char[]> pixels(new unsigned char[h * 3]);
    int k = 0;
    for (const Rgb& c : rows)
        for (unsigned char v : c) pixels[k++] = v;
    return std::make_unique<assets::Texture>(std::move(pixels), 1, h, 24, 1);
}

inline std::unique_ptr<assets::Texture> solidTexture(Rgb colour) {
    return rowTexture({colour});
}

// Window-coordinate pixel (x from the left, y from the bottom) of the current read buffer.
inline Rgb pixelAt(int x, int y) {
    unsigned char p[4] = {};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2]};
}

inline void clearTo(float grey) {
    glViewport(0, 0, 640, 480);
    glDisable(GL_FOG);
    glClearColor(grey, grey, grey, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

inline std::array<GLint, 4> viewport() {
    std::array<GLint, 4> v{};
    glGetIntegerv(GL_VIEWPORT, v.data());
    return v;
}

inline bool enabled(GLenum cap) {
    return glIsEnabled(cap) == GL_TRUE;
}

inline GLint integer(GLenum name) {
    GLint v = 0;
    glGetIntegerv(name, &v);
    return v;
}

inline std::array<float, 16> matrix(GLenum name) {
    std::array<float, 16> m{};
    glGetFloatv(name, m.data());
    return m;
}

inline bool isIdentity(const std::array<float, 16>& m) {
    for (int k = 0; k < 16; ++k)
        if (m[k] != (k % 5 == 0 ? 1.0f : 0.0f)) return false;
    return true;
}

// The multitexture entry point as the window would hold it (looked up by name, like the driver
// hands it out).
using ActiveTextureProc = void(APIENTRY*)(GLenum);
inline ActiveTextureProc activeTextureProc() {
    return reinterpret_cast<ActiveTextureProc>(testsupport::glSurface()->procAddress("glActiveTextureARB"));
}

inline std::array<float, 4> colour() {
    std::array<float, 4> c{};
    glGetFloatv(GL_CURRENT_COLOR, c.data());
    return c;
}

}  // namespace testfixtures
