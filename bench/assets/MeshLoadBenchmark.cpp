// Object3D::loadGeometry on a mesh of 65,535 vertices and 65,535 faces: file reading through
// DataFile, validation, face and vertex normals (the display list needs GL and is left out).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "assets/Object3D.h"

namespace {

constexpr int kColumns = 255;
constexpr int kRows = 257;  // kColumns x kRows = 65,535 vertices
constexpr int kFaces = 65535;

// A wavy height field: the faces run over the grid's cells, two triangles per cell, so most
// vertices are shared by six faces as in a real mesh.
std::string writeMesh() {
    std::vector<std::uint8_t> bytes;
    auto word = [&bytes](int v) {
        bytes.push_back(static_cast<std::uint8_t>(v & 0xff));
        bytes.push_back(static_cast<std::uint8_t>((v >> 8) & 0xff));
    };
    word(kColumns * kRows);
    word(kFaces);
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < kColumns; ++c) {
            word(c * 64 - 8192);
            word(r * 64 - 8192);
            word(static_cast<int>(600.0 * std::sin(c * 0.1) * std::cos(r * 0.13)));
        }
    }
    for (int f = 0; f < kFaces; ++f) {
        const int cell = f / 2;
        const int r = cell / (kColumns - 1), c = cell % (kColumns - 1);
        const int v00 = r * kColumns + c, v10 = v00 + 1, v01 = v00 + kColumns, v11 = v01 + 1;
        const int corners[2][3] = {{v00, v10, v11}, {v00, v11, v01}};
        for (int corner : corners[f % 2]) word(corner);
        word(0);
        for (int k = 0; k < 6; ++k) word((k * 97 + f) % 512 - 128);
    }
    const std::string path =
        (std::filesystem::temp_directory_path() / ("vx-mesh-bench-" + std::to_string(::getpid()) + ".ob3")).string();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) std::abort();
    std::fclose(file);
    return path;
}

void BM_LoadLargestMesh(benchmark::State& state) {
    const std::string path = writeMesh();
    for (auto _ : state) {
        assets::Object3D object;
        if (!object.loadGeometry(path)) {
            state.SkipWithError("mesh did not load");
            break;
        }
        benchmark::DoNotOptimize(object.vertexNormals.data());
    }
    std::filesystem::remove(path);
    state.counters["vertices"] = kColumns * kRows;
    state.counters["faces"] = kFaces;
}
BENCHMARK(BM_LoadLargestMesh)->Unit(benchmark::kMillisecond);

}  // namespace
