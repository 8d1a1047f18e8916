// contentgen: generates the demo's content pack (textures, meshes, soundtrack and data archive)
// into a run directory. Same bytes on every run. It speaks under the name it was started as: the
// build's binary is contentgen, the installed one vorthalimex-contentgen.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "Console.h"
#include "ContentPack.h"
#include "TextRenderer.h"

namespace {

// The name this program was started as (the last part of argv[0]), for its messages.
std::string program = "contentgen";

void printHelp() {
    std::printf("Usage: %s [options] RUN_DIR\n", program.c_str());
    std::puts(
        "\n"
        "Generates the demo's content pack into RUN_DIR:\n"
        "  data/*.jpg             the textures (JPEG, quality 90)\n"
        "  data/ballo.ob3         the ball mesh\n"
        "  data/Vorthalimex.mp3   the soundtrack (44,100 Hz stereo, 192 kbps, 145 BPM), mastered to\n"
        "                         -14 LUFS with its true peak under -1 dBTP, checked by decoding it\n"
        "  blow.job               the data archive (invsphere.ob3 and ballo.ob3)\n"
        "Every run writes the same bytes.\n"
        "\n"
        "Options:\n"
        "  --only PARTS   generate only these parts, comma-separated: textures, meshes, soundtrack\n"
        "                 (meshes covers data/ballo.ob3 and blow.job)\n"
        "  --list         print the files the pack consists of and exit\n"
        "  -q, --quiet    print nothing but errors\n"
        "  -h, --help     show this help");
}

bool selectParts(const std::string& list, contentgen::PackOptions& options) {
    options.textures = options.meshes = options.soundtrack = false;
    size_t start = 0;
    while (start <= list.size()) {
        const size_t comma = list.find(',', start);
        const std::string part = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (part == "textures") options.textures = true;
        else if (part == "meshes") options.meshes = true;
        else if (part == "soundtrack") options.soundtrack = true;
        else {
            std::fprintf(stderr, "%s: unknown part '%s' (textures, meshes, soundtrack)\n", program.c_str(), part.c_str());
            return false;
        }
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 0 && *argv[0]) {
        program = argv[0];
        program.erase(0, program.find_last_of('/') + 1);
    }
    contentgen::PackOptions options;
    bool quiet = false, list = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            printHelp();
            return 0;
        } else if (arg == "-q" || arg == "--quiet") {
            quiet = true;
        } else if (arg == "--list") {
            list = true;
        } else if (arg == "--only") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "%s: --only needs a list of parts\n", program.c_str());
                return 2;
            }
            if (!selectParts(argv[++i], options)) return 2;
        } else if (!arg.empty() && arg[0] == '-') {
            std::fprintf(stderr, "%s: unknown option '%s' (try --help)\n", program.c_str(), arg.c_str());
            return 2;
        } else if (options.outDir.empty()) {
            options.outDir = arg;
        } else {
            std::fprintf(stderr, "%s: more than one run directory given ('%s')\n", program.c_str(), arg.c_str());
            return 2;
        }
    }
    if (list) {
        for (const std::string& f : contentgen::packFiles(options)) std::puts(f.c_str());
        return 0;
    }
    if (options.outDir.empty()) {
        std::fprintf(stderr, "%s: no run directory given (try --help)\n", program.c_str());
        return 2;
    }

    // fontconfig's configuration lives until the process ends: release it then, so that leak
    // checkers see only what the generator itself might lose.
    std::atexit(contentgen::releaseFonts);
    contentgen::Console console(stdout, quiet);
    console.line(program + ": generating the content pack into " + options.outDir);
    const auto start = std::chrono::steady_clock::now();
    try {
        contentgen::generatePack(options, console);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), e.what());
        return 1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    char done[64];
    std::snprintf(done, sizeof done, ": done in %.1f s", seconds);
    console.line(program + done);
    return 0;
}
