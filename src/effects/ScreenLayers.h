#pragma once
// Flat layers laid over the picture: the opaque full-screen quad, the additive letterbox layer
// and the ring band wrapped around the z axis. Each sets the GL state it needs and restores
// nothing; the state each leaves behind is part of its contract (the next pass relies on it).
// The texture is bound with Texture::bind, so a texture that was never uploaded draws as a flat
// untextured (white) layer. The texture environment is left as it is (modulate): the current
// colour multiplies the texture.
#include "assets/Texture.h"

namespace effects {

// Projection identity then glOrtho(0, width, height, 0, -1, 1) (origin top-left, y down);
// model-view selected and identity.
void setScreenOrtho(int width, int height);

// The letterbox band: viewport (0, 104, width, height - 208), the window minus 104 rows at the
// bottom and at the top. A negative band height is not asked for: the viewport in force stays.
void setBandViewport(int width, int height);

// Opaque copy of `texture` over the whole drawing area (viewport 0, 0, width, height), upright.
// Leaves: that viewport, the screen ortho, depth test and writes off, culling off, blending off,
// flat shading. The colour is not set: the current colour modulates the texture.
void drawScreenQuad(int width, int height, assets::Texture& texture);
// drawScreenQuad with the drawing area's lower-left corner at (x, y): viewport (x, y, width,
// height), the same state left otherwise.
void drawScreenQuadAt(int x, int y, int width, int height, assets::Texture& texture);

// Adds `texture`, weighted by alpha (blend GL_SRC_ALPHA, GL_ONE; colour (1, 1, 1, alpha)), into
// the letterbox band: viewport (0, 104, width, height - 208) with the screen ortho of
// width x height mapped onto it. The unit square is centred, turned by `angle` degrees about z,
// stretched to scaleX of the width and scaleY of the height, put at the centre and moved by the
// offset in pixels; scale (1, 1) fills the band exactly, a negative scale mirrors.
// A height below 208 would ask for a band of negative height: the viewport call is skipped and
// the layer is drawn into the viewport already in force (the composer relies on this for its
// 128 x 128 layers into the 512 x 256 working area).
// Leaves: the band viewport (when set), the screen ortho, depth test and writes off, culling
// off, blending on with GL_SRC_ALPHA, GL_ONE, smooth shading, colour (1, 1, 1, alpha).
void drawLetterboxLayer(float alpha, float angle, float offsetX, float offsetY, float scaleX,
                        float scaleY, int width, int height, assets::Texture& texture);

// The state drawLetterboxLayer leaves (viewport, projection, model-view, render state, colour,
// bound texture), set without drawing anything.
void setLetterboxLayerState(float alpha, int width, int height, assets::Texture& texture);

// drawLetterboxLayer for a layer that adds something; a layer with alpha <= 0 adds nothing to
// any pixel (blend source alpha, one), so only its state is set. Same picture, same state after.
void addLetterboxLayer(float alpha, float angle, float offsetX, float offsetY, float scaleX,
                       float scaleY, int width, int height, assets::Texture& texture);

// Binds `texture` and sets the state of translucent geometry in a 3D scene: depth test on,
// depth writes off, culling off, blending on (blend function left to the caller), smooth shading.
void beginTranslucentGeometry(assets::Texture& texture);

// Wraps `texture` around the z axis as |segments| quads on a circle of `radius` from zFrom to
// zTo, in the current projection and model-view. u runs uFrom .. uTo once around (starting at
// angle `phase` radians, stepping 6.2832 / segments), v from vFrom at zFrom to vTo at zTo.
// segments > 0 adds the texture weighted by alpha (GL_SRC_ALPHA, GL_ONE; colour (1, 1, 1,
// alpha)); segments <= 0 multiplies the picture by the texture (GL_ZERO, GL_SRC_COLOR; colour
// white, alpha ignored) with -segments quads. Arithmetic in double, handed to GL as float.
// Leaves: blending off, depth test on, depth writes off, culling off, smooth shading, the colour.
void drawRingBand(int segments, double phase, double alpha, double radius, double zFrom, double zTo,
                  double uFrom, double uTo, double vFrom, double vTo, assets::Texture& texture);

}  // namespace effects
