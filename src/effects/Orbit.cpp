#include "effects/Orbit.h"

#include <cmath>

namespace effects {

double orbitZoomExact(float t) {
    return 0.505 + 0.495 * std::cos(t * kPi * kSwellRate);
}

float orbitZoom(float t) {
    return static_cast<float>(orbitZoomExact(t));
}

double orbitAngle(float t) {
    return t * kPi * 0.125 * static_cast<double>(kOrbitRate);
}

Vec3d orbitEye(float t) {
    const double r = orbitZoom(t);
    const double r2 = r * r;
    const double phi = orbitAngle(t);
    return {-900.0 * r2 * std::sin(phi), -900.0 * r2 * std::cos(phi), 1000.0 * r2 + 5.85};
}

float orbitTilt(float t) {
    return static_cast<float>(-150.0 * std::cos(orbitAngle(t) / 2.0));
}

}  // namespace effects
