#pragma once
// Linear fog toward black, folded into the vertex colours of a flat textured quad.
//
// The GL's linear fog takes each vertex's distance from the eye plane, |z| in eye space, as its
// fog coordinate, interpolates that over the primitive and scales each fragment's colour by
// f = (end - c) / (end - start) of it, clamped to [0, 1], adding (1 - f) times the fog colour.
// When no corner's distance lies outside [start, end] the clamp never acts, f is the same
// interpolation of the corners' own factors, and with a black fog the fogged colour is the texel
// times the colour times f: the texel times a colour carrying f at each corner. llvmpipe's
// fragment code for the fog (its parameters and colour read for every pixel, the factor, the
// blend towards the fog colour) is then left out of the quad's pixels.
#include <array>
#include <optional>

namespace content {

// The fog in force, its distances in eye units.
struct LinearFog {
    float start = 0.0f;
    float end = 0.0f;
};

// The GL's fog when it can be folded into vertex colours: fog on, GL_LINEAR, black (alpha aside),
// distances from the eye plane (GL_FRAGMENT_DEPTH), end beyond start, lighting off and texture
// unit 0's environment GL_MODULATE. None otherwise. Reads GL state only.
std::optional<LinearFog> foldableFog();

using CornerColours = std::array<std::array<float, 4>, 4>;

// The corner colours of a quad of colour `colour` (as given to glColor; clamped to [0, 1] here as
// the GL clamps it) whose corners lie at eye-space depths `eyeZ`, with the fog folded into their
// red, green and blue. None when a corner's distance |z| lies nearer than the fog's start or
// beyond its end.
std::optional<CornerColours> foldFog(const LinearFog& fog, const std::array<float, 4>& colour,
                                     const std::array<float, 4>& eyeZ);

}  // namespace content
