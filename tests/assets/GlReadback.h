#pragma once
// Reading GL state back in the asset tests.
#include <GL/gl.h>
#include <GL/glext.h>  // GL_NORMAL_MAP (GL 1.3), which not every gl.h declares

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace assettest {

// Level `level` of the 2D texture `name` as tightly packed bytes (3 per texel for GL_RGB, 4 for
// GL_RGBA), at the size GL holds it (GLU may have rescaled level 0 of a mipmapped texture).
std::vector<std::uint8_t> textureLevel(GLuint name, GLenum format, GLint level = 0, GLint* width = nullptr,
                                       GLint* height = nullptr);

// One texture parameter, or one level parameter, of the 2D texture `name`.
GLint textureParameter(GLuint name, GLenum which);
GLint textureLevelParameter(GLuint name, GLint level, GLenum which);

// Window coordinates equal object x and y (viewport 640 x 480, orthographic, identity modelview);
// window z is 0.5 - z_object / 2. No culling, lighting, fog or texturing.
void setPixelSpace();

// One vertex that GL_FEEDBACK reported for a polygon or a point. (Mesa reports only the first
// glBegin/glEnd run of a display list in feedback mode; the lists tested here hold one run.)
struct FeedbackVertex {
    std::array<float, 3> position;  // window coordinates
    std::array<float, 4> texCoord;  // s, t, r, q as GL saw them
};
struct Feedback {
    std::vector<FeedbackVertex> triangleCorners;  // every polygon's corners, in emitted order
    std::vector<int> polygonSizes;                // corners per polygon (GL draws triangles)
    std::vector<FeedbackVertex> points;
    int otherTokens = 0;                          // anything that is neither
};
// Runs `draw` in feedback mode. With normals true, texture unit 0 generates its coordinates
// from the eye-space normal (GL_NORMAL_MAP, normalised), so texCoord holds the unit normal of
// each corner.
Feedback captureFeedback(const std::function<void()>& draw, bool normals = false);

}  // namespace assettest
