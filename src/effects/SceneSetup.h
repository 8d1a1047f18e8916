#pragma once
// Fixed-function set-up the 3D scenes share: the letterboxed perspective, linear fog, the reset
// of both texture units and the orbiting camera. None of them draws; each leaves exactly the
// state written on it, and the scenes rely on that.
#include <GL/gl.h>

namespace effects {

// Rows left black above and below the picture: 104 at the top and 104 at the bottom.
constexpr int kLetterboxRows = 208;

// Aspect of the letterbox band, width / (height - 208) in floating point: 640 / 272 for a
// 640 x 480 window. A window of 208 rows or fewer counts as a band of 1 row, so the aspect is
// never infinite or negative.
double letterboxAspect(int width, int height);

// Model-view identity; projection identity times gluPerspective(fov, letterboxAspect, zNear,
// zFar); model-view selected and identity again. The viewport is not touched.
void setLetterboxPerspective(float fov, float zNear, float zFar, int width, int height);

// Linear fog from 1 to `end` in `colour` (RGBA), density 1, hint GL_DONT_CARE; enables GL_FOG.
// Nothing switches fog off again: it applies to everything drawn later, layers included.
void setLinearFog(const float colour[4], float end);

// Unit 1: texture generation S, T and 2D texturing off. Unit 0: generation S, T, R, Q, 2D
// texturing, lighting and light 0 off; its texture matrix loaded with identity. Leaves unit 0
// active and the model-view matrix selected; unit 1's texture matrix is not touched. Without a
// multitexture entry point (null) only unit 0, the one in use, is reset.
using ActiveTextureProc = void(APIENTRY*)(GLenum texture);
void resetTextureUnits(ActiveTextureProc activeTexture);

// Multiplies the orbiting camera for scene time t onto the current model-view matrix (it does
// not load the identity first): gluLookAt from orbitEye(t) to (0, 0, -150), up (0, 1, 0), then
// a rotation by orbitTilt(t) degrees about the unnormalised axis (1, 0.5, 0).
void applyOrbitCamera(float t);

}  // namespace effects
