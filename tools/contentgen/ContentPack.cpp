#include "ContentPack.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <thread>

#include "Console.h"
#include "Image.h"
#include "Soundtrack.h"
#include "SphereMesh.h"
#include "Textures.h"
#include "datafiles/ArchiveWriter.h"

namespace contentgen {
namespace {

// Creates path and any missing parents (as mkdir -p does).
void makeDirectory(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
        struct stat parent;
        const std::string up = path.substr(0, slash);
        if (stat(up.c_str(), &parent) != 0) makeDirectory(up);
    }
    if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST)
        throw std::runtime_error(path + ": cannot create directory: " + std::strerror(errno));
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) throw std::runtime_error(path + ": not a directory");
}

std::string sizeText(size_t bytes) {
    char text[32];
    if (bytes >= 1024 * 1024) std::snprintf(text, sizeof text, "%.1f MiB", bytes / 1048576.0);
    else std::snprintf(text, sizeof text, "%.1f KiB", bytes / 1024.0);
    return text;
}

void writeSoundtrack(const std::string& path, Console& console) {
    const EncodedSoundtrack music =
        produceSoundtrack([&](const char* stage, double f) { console.bar(std::string("soundtrack: ") + stage, f); });
    writeFileAtomically(path, music.mp3);
    console.line("  " + path + "  (" + sizeText(music.mp3.size()) + ", " + std::to_string(kMp3Kbps) + " kbps)");
    char ceiling[96];
    std::snprintf(ceiling, sizeof ceiling, "limiter ceiling %.1f dBTP%s", music.ceilingDbtp,
                  music.masters > 1 ? (", mastered " + std::to_string(music.masters) + " times").c_str() : "");
    console.line("    decoded: " + describeLoudness(music.decoded) + "; " + ceiling);
}

}  // namespace

std::vector<std::string> packFiles(const PackOptions& options) {
    std::vector<std::string> files;
    const std::string data = std::string(kDataDir) + "/";
    if (options.textures)
        for (const TextureSpec& spec : textureSpecs()) files.push_back(data + spec.fileName);
    if (options.meshes) {
        files.push_back(data + kBallFile);
        files.push_back(kArchiveFile);
    }
    if (options.soundtrack) files.push_back(data + kSoundtrackFile);
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<uint8_t> makeArchive(const std::vector<uint8_t>& starSphere, const std::vector<uint8_t>& ball) {
    datafiles::ArchiveOptions options;
    options.solid = true;
    options.passPhrase = kArchivePassPhrase;
    options.level = datafiles::kBestLevel;
    datafiles::ArchiveWriter writer(options);
    datafiles::MemberOptions fixedTime;
    fixedTime.modified = 0;
    writer.addMember(kStarSphereFile, starSphere, fixedTime);
    writer.addMember(kBallFile, ball, fixedTime);
    return writer.finish();
}

void generatePack(const PackOptions& options, Console& console) {
    makeDirectory(options.outDir);
    const std::string dataDir = options.outDir + "/" + kDataDir;
    makeDirectory(dataDir);

    std::exception_ptr musicError;
    std::thread music;
    if (options.soundtrack) {
        music = std::thread([&] {
            try {
                writeSoundtrack(dataDir + "/" + kSoundtrackFile, console);
            } catch (...) {
                musicError = std::current_exception();
            }
        });
    }

    std::exception_ptr pictureError;
    try {
        if (options.meshes) {
            const std::vector<uint8_t> ball = makeSphereOb3(kBallSphere);
            const std::vector<uint8_t> stars = makeSphereOb3(kStarSphere);
            writeFileAtomically(dataDir + "/" + kBallFile, ball);
            console.line("  " + dataDir + "/" + kBallFile + "  (" + sizeText(ball.size()) + ")");
            const std::vector<uint8_t> archive = makeArchive(stars, ball);
            const std::string archivePath = options.outDir + "/" + kArchiveFile;
            writeFileAtomically(archivePath, archive);
            console.line("  " + archivePath + "  (" + sizeText(archive.size()) + ": " + kStarSphereFile + ", " +
                         kBallFile + ")");
        }
        if (options.textures) {
            for (const TextureSpec& spec : textureSpecs()) {
                const std::string path = dataDir + "/" + spec.fileName;
                const std::vector<uint8_t> jpeg = makeTextureJpeg(spec);
                writeFileAtomically(path, jpeg);
                console.line("  " + path + "  (" + std::to_string(spec.width) + "x" + std::to_string(spec.height) +
                             ", " + sizeText(jpeg.size()) + ")");
            }
        }
    } catch (...) {
        pictureError = std::current_exception();
    }
    if (music.joinable()) music.join();
    if (pictureError) std::rethrow_exception(pictureError);
    if (musicError) std::rethrow_exception(musicError);
}

}  // namespace contentgen
