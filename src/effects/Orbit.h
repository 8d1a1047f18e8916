#pragma once
// The orbiting camera's path as plain numbers, shared by the camera set-up and the core scene.
// Pure functions of the scene time t (beats since beat 1); no GL.
//
// The show uses 3.1416 for pi and 0.002840909090909091 for 1/352 throughout, so the slow swell
// cos(t * 3.1416 / 352) has a period of 704 beats. Every constant below is part of the picture:
// changing one moves the camera off the timeline.
namespace effects {

// 1/352 as the show writes it.
constexpr double kSwellRate = 0.002840909090909091;
constexpr double kPi = 3.1416;
// The orbit's angular factor, a single-precision constant (0.08531250059604645 when widened).
constexpr float kOrbitRate = 0.0853125f;

// Zoom factor 0.505 + 0.495 cos(t pi / 352) in double precision: 1 at t = 0, 0.01 at t = 352.
double orbitZoomExact(float t);
// The same rounded to single precision, as the camera stores it.
float orbitZoom(float t);
// Orbit angle phi = t * 3.1416 * 0.125 * 0.0853125f, double precision (radians).
double orbitAngle(float t);

struct Vec3d {
    double x, y, z;
};
// Camera eye (-900 r^2 sin phi, -900 r^2 cos phi, 1000 r^2 + 5.85), looking at (0, 0, -150).
Vec3d orbitEye(float t);
// The camera's final tilt, -150 cos(phi / 2) degrees in single precision, about (1, 0.5, 0).
float orbitTilt(float t);

}  // namespace effects
