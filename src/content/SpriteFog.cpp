#include "content/SpriteFog.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>

namespace content {

std::optional<LinearFog> foldableFog() {
    if (glIsEnabled(GL_FOG) != GL_TRUE || glIsEnabled(GL_LIGHTING) == GL_TRUE) return std::nullopt;
    GLint mode = 0, source = 0, environment = 0;
    glGetIntegerv(GL_FOG_MODE, &mode);
    glGetIntegerv(GL_FOG_COORDINATE_SOURCE, &source);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &environment);
    if (mode != GL_LINEAR || source != GL_FRAGMENT_DEPTH || environment != GL_MODULATE) return std::nullopt;
    float colour[4] = {};
    glGetFloatv(GL_FOG_COLOR, colour);
    if (colour[0] != 0.0f || colour[1] != 0.0f || colour[2] != 0.0f) return std::nullopt;
    LinearFog fog;
    glGetFloatv(GL_FOG_START, &fog.start);
    glGetFloatv(GL_FOG_END, &fog.end);
    if (!(fog.end > fog.start)) return std::nullopt;
    return fog;
}

std::optional<CornerColours> foldFog(const LinearFog& fog, const std::array<float, 4>& colour,
                                     const std::array<float, 4>& eyeZ) {
    const double range = static_cast<double>(fog.end) - fog.start;
    if (!(range > 0.0)) return std::nullopt;
    CornerColours colours{};
    for (int k = 0; k < 4; ++k) {
        const double distance = std::fabs(static_cast<double>(eyeZ[k]));
        if (!(distance >= fog.start && distance <= fog.end)) return std::nullopt;
        const double factor = (fog.end - distance) / range;
        for (int c = 0; c < 3; ++c) colours[k][c] = static_cast<float>(std::clamp(colour[c], 0.0f, 1.0f) * factor);
        colours[k][3] = std::clamp(colour[3], 0.0f, 1.0f);
    }
    return colours;
}

}  // namespace content
