// libFuzzer entry: the input is a whole .ob3 file. It is written to a scratch folder (the loader
// reads through DataFile, which takes plain files by name), loaded without GL, and a loaded mesh
// goes through every deformer, both normal passes and the normal blend. A refused file must leave
// the object unloaded; a loaded one must have arrays of its counts and unit (or (0, 0, 1)) normals,
// and restoreBase must bring the load-time state back exactly.
#include <stdlib.h>  // mkdtemp
#include <unistd.h>  // rmdir

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "assets/Object3D.h"

namespace {

// The scratch file each input is written to, in a folder of this process's own.
std::string inputPath;
std::string inputFolder;

void removeScratch() {
    std::remove(inputPath.c_str());
    ::rmdir(inputFolder.c_str());
}

void checkUnitNormals(const std::vector<float>& normals) {
    for (std::size_t i = 0; i + 2 < normals.size(); i += 3) {
        const float x = normals[i], y = normals[i + 1], z = normals[i + 2];
        const float length = std::sqrt(x * x + y * y + z * z);
        if (!(std::fabs(length - 1.0f) < 1e-3f)) std::abort();
    }
}

bool sameFloats(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // libFuzzer's corpus paths may be relative, so the working directory stays as it is. The
    // folder is in memory where possible: on ext4, rewriting a truncated file flushes it to disk
    // at every close, which made each input cost 5 ms.
    char inMemory[] = "/dev/shm/ob3-fuzz-XXXXXX";
    char onDisk[] = "/tmp/ob3-fuzz-XXXXXX";
    const char* folder = mkdtemp(inMemory);
    if (folder == nullptr) folder = mkdtemp(onDisk);
    if (folder == nullptr) std::abort();
    inputFolder = folder;
    inputPath = inputFolder + "/input.ob3";
    std::atexit(removeScratch);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(inputPath.c_str(), "wb");
    if (file == nullptr) std::abort();
    if (size != 0 && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);

    assets::Object3D object;
    if (!object.loadGeometry(inputPath)) {
        if (object.loaded || object.vertexCount != 0 || object.faceCount != 0 || !object.positions.empty()) std::abort();
        return 0;
    }
    const std::size_t v3 = 3 * static_cast<std::size_t>(object.vertexCount);
    const std::size_t f3 = 3 * static_cast<std::size_t>(object.faceCount);
    if (!object.loaded || object.positions.size() != v3 || object.basePositions.size() != v3 ||
        object.vertexNormals.size() != v3 || object.baseVertexNormals.size() != v3 ||
        object.faceNormals.size() != f3 || object.baseFaceNormals.size() != f3 ||
        object.faces.size() != static_cast<std::size_t>(object.faceCount)) {
        std::abort();
    }
    for (const assets::Object3DFace& face : object.faces) {
        for (int corner : face.corners) {
            if (corner < 0 || corner >= object.vertexCount) std::abort();
        }
    }
    checkUnitNormals(object.baseVertexNormals);
    checkUnitNormals(object.baseFaceNormals);

    const std::vector<float> loadedPositions = object.positions;
    const std::vector<float> loadedNormals = object.vertexNormals;
    object.rippleSum(1234.5f, 37.0f, 2.5f);
    object.rippleMixed(99.0f, 0.5f, -1.0f);
    object.wobble(7777.0f, 12.0f, 0.75f);
    object.pulse(500.0f, 3.0f, 1.5f);
    object.recomputeNormals();
    object.toggleInsideOut();
    float blended[3];
    for (int j = 0; j < object.faceCount; ++j) {
        for (int corner : object.faces[j].corners) {
            assets::blendNormal(&object.baseFaceNormals[3 * j], &object.vertexNormals[3 * corner], 0.3f, blended);
        }
    }
    object.restoreBase();
    if (!sameFloats(object.positions, loadedPositions) || !sameFloats(object.vertexNormals, loadedNormals)) std::abort();
    return 0;
}
