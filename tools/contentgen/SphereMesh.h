#pragma once
// UV spheres in the .ob3 mesh format: little-endian counts V and F (unsigned 16-bit), V vertex
// records (x, y, z signed 16-bit) and F face records (three corner indices, one extra value,
// then s, t per corner in signed 8.8 fixed point, t counted from the top).
#include <cstdint>
#include <vector>

namespace contentgen {

struct SphereSpec {
    int radius;          // object units (fits signed 16-bit)
    int rings;           // latitude steps from pole to pole (>= 2)
    int segments;        // longitude steps around (>= 3)
    int sRepeats;        // texture repeats around the equator
    bool facingInward;   // corners counter-clockwise seen from inside (normals point inward)
};

// The sphere's poles lie on the object's y axis, one vertex each. A seam column of vertices is duplicated so
// that s runs from 0 to sRepeats without wrapping back; t runs from 1 at the +y pole to 0 at
// the -y pole. Throws std::invalid_argument when the counts do not fit the format.
std::vector<uint8_t> makeSphereOb3(const SphereSpec& spec);

// The two meshes of the pack. The ball appears about 50 world units in radius at its scene
// scale of 0.019125; the star sphere, scaled by 50, lies between every camera position
// (at most about 1,350 units from the centre) and the far plane at 30,000.
extern const SphereSpec kBallSphere;
extern const SphereSpec kStarSphere;

}  // namespace contentgen
