#pragma once
// The whole content pack: the textures, meshes and soundtrack under data/ and the enciphered
// archive beside it, written into one run directory.
#include <cstdint>
#include <string>
#include <vector>

namespace contentgen {

class Console;

// Names as the program opens them (relative to the run directory).
constexpr const char* kDataDir = "data";
constexpr const char* kSoundtrackFile = "Vorthalimex.mp3";
constexpr const char* kBallFile = "ballo.ob3";
constexpr const char* kStarSphereFile = "invsphere.ob3";
constexpr const char* kArchiveFile = "blow.job";
constexpr const char* kArchivePassPhrase = "marzipol";

struct PackOptions {
    std::string outDir;      // the run directory; created (with its parents) when missing
    bool textures = true;    // data/*.jpg
    bool meshes = true;      // data/ballo.ob3 and blow.job
    bool soundtrack = true;  // data/Vorthalimex.mp3
};

// Every file of the pack relative to the run directory, for the selected parts, sorted.
std::vector<std::string> packFiles(const PackOptions& options);

// The archive: solid, enciphered under kArchivePassPhrase, members "invsphere.ob3" then
// "ballo.ob3", every member time fixed at the format's epoch so the bytes never vary.
std::vector<uint8_t> makeArchive(const std::vector<uint8_t>& starSphere, const std::vector<uint8_t>& ball);

// Generates the selected parts into options.outDir, reporting each file on console. The
// soundtrack is synthesised and encoded on a second thread while the pictures are painted.
// Deterministic: every run writes the same bytes. Throws std::runtime_error on any failure
// (which names the file); files finished before the failure stay complete.
void generatePack(const PackOptions& options, Console& console);

}  // namespace contentgen
