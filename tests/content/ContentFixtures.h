#pragma once
// A scratch data/ folder with every file the content loads, made small: solid-colour JPEGs and
// octahedron meshes (the ball facing out, the star sphere facing in), and a record of fatal
// reports.
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "app/FatalError.h"
#include "assets/AssetFixtures.h"

namespace contenttest {

using Rgb = std::array<std::uint8_t, 3>;

// Every picture of the show by file name. The scene's pictures are pure blue, so red and green
// in the band come only from the logo (red) and the credits (green).
inline std::map<std::string, Rgb> fixturePictures() {
    const Rgb blue{0, 0, 255};
    return {{"valo2c.jpg", blue},       {"darkpart.jpg", blue},  {"fire.jpg", blue},
            {"fire2d2b.jpg", blue},     {"firetwirlb2.jpg", blue}, {"vorthlogo2b.jpg", {255, 0, 0}},
            {"parti1.jpg", blue},       {"stars4.jpg", blue},    {"valo4.jpg", blue},
            {"blueshift.jpg", blue},    {"roti_2.jpg", blue},    {"vorthcredits.jpg", {0, 255, 0}}};
}

// An octahedron of the given radius; inward-facing when `inside`.
inline assettest::Bytes octahedron(std::int16_t radius, bool inside) {
    std::vector<std::array<std::int16_t, 3>> vertices;
    for (int axis = 0; axis < 3; ++axis) {
        for (int sign : {1, -1}) {
            std::array<std::int16_t, 3> v{0, 0, 0};
            v[axis] = static_cast<std::int16_t>(sign * radius);
            vertices.push_back(v);
        }
    }
    // Vertex index of +x/-x, +y/-y, +z/-z.
    std::vector<assettest::Ob3Face> faces;
    for (int sx : {0, 1})
        for (int sy : {0, 1})
            for (int sz : {0, 1}) {
                std::uint16_t x = sx, y = 2 + sy, z = 4 + sz;
                const bool outward = ((sx + sy + sz) % 2 == 0) != inside;
                if (!outward) std::swap(y, z);
                faces.push_back({{x, y, z}, 0, {0, 0, 256, 0, 0, 256}});
            }
    return assettest::ob3Bytes(vertices, faces);
}

// Writes data/ into the current (scratch) directory, leaving out the files named in `missing`.
inline void writeFixtureData(const std::vector<std::string>& missing = {}) {
    auto skipped = [&](const std::string& name) {
        for (const std::string& m : missing)
            if (m == name) return true;
        return false;
    };
    for (const auto& [name, colour] : fixturePictures())
        if (!skipped(name)) assettest::writeSolidJpeg("data/" + name, 16, 16, colour);
    if (!skipped("ballo.ob3")) assettest::writeFile("data/ballo.ob3", octahedron(2000, false));
    if (!skipped("invsphere.ob3")) assettest::writeFile("data/invsphere.ob3", octahedron(400, true));
}

// Records fatal reports instead of showing them, for its lifetime.
class FatalReports {
public:
    FatalReports() {
        previous_ = app::setFatalErrorHandler([this](const std::string& text) { texts.push_back(text); });
    }
    ~FatalReports() { app::setFatalErrorHandler(previous_); }
    FatalReports(const FatalReports&) = delete;
    FatalReports& operator=(const FatalReports&) = delete;
    std::vector<std::string> texts;

private:
    app::FatalErrorHandler previous_;
};

}  // namespace contenttest
