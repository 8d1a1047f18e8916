// picturegate: draws the gate frames on the faithful and on the fast render path and prints how
// far apart they are, frame by frame. Exit status 0 when every frame passes the gate, 1 when
// one does not, 2 when the frames could not be drawn.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "PictureGate.h"
#include "PngWriter.h"

namespace {

const char* const kProgram = "picturegate";

void printHelp() {
    std::printf(
        "Usage: %s [--run-dir DIR] [--quick] [--frames NAME,...] [--fast-path NAME] [--save DIR]\n"
        "       %s --compare REFERENCE.png CANDIDATE.png\n"
        "Draws the gate frames (music times covering every section of the show, at 640x480 and\n"
        "1280x960) on the faithful and on the fast render path and prints, per frame, the largest\n"
        "level difference, the pixels more than 1 and more than 2 levels off, and the PSNR.\n"
        "A frame passes within %d levels and with at most %.1f%% of its pixels more than 1 off.\n"
        "Needs an X display (xvfb-run -a -s \"-screen 0 1280x1024x24\" %s).\n"
        "\n"
        "  --run-dir DIR      the directory with data/ and blow.job (default: the current one)\n"
        "  --quick            only the few frames the test suite runs\n"
        "  --frames A,B,...   only the frames named (see --list)\n"
        "  --list             print the frames' names, scene times and sizes, and exit\n"
        "  --fast-path NAME   the path compared with the faithful one: fast (the default) or\n"
        "                     fast-fixed (the fast path as on a GL without GLSL: the band's layers\n"
        "                     by the fixed-function pipeline)\n"
        "  --save DIR         also write NAME-faithful.png and NAME-fast.png into DIR (an existing\n"
        "                     directory; files already there are not replaced)\n"
        "  --compare A B      compare two PNG files of one frame (e.g. drawn by two builds) by the\n"
        "                     same measures and gate, and draw nothing\n"
        "  -h, --help         this text\n"
        "Exit status: 0 every frame passes, 1 a frame does not, 2 error.\n",
        kProgram, kProgram, picturegate::kMaxLevelDifference, picturegate::kMaxShareOverOne * 100, kProgram);
}

int fail(const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", kProgram, text.c_str());
    return 2;
}

bool exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    using picturegate::GateFrame;
    std::string runDir, saveDir, only, fastName = "fast";
    std::vector<std::string> compare;
    bool quick = false, list = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= argc) return false;
            *out = argv[++i];
            return true;
        };
        if (arg == "-h" || arg == "--help") {
            printHelp();
            return 0;
        } else if (arg == "--quick") {
            quick = true;
        } else if (arg == "--list") {
            list = true;
        } else if (arg == "--compare") {
            if (i + 2 >= argc) return fail("--compare needs two PNG files (see --help)");
            compare = {argv[i + 1], argv[i + 2]};
            i += 2;
        } else if (arg == "--run-dir" || arg == "--save" || arg == "--frames" || arg == "--fast-path") {
            std::string* out = arg == "--run-dir" ? &runDir : arg == "--save" ? &saveDir : arg == "--frames" ? &only : &fastName;
            if (!value(out)) return fail(arg + " needs a value (see --help)");
        } else {
            return fail("unknown argument '" + arg + "' (see --help)");
        }
    }

    if (!compare.empty()) {
        picturegate::FrameDifference d;
        std::string error;
        if (!picturegate::comparePngFiles(compare[0], compare[1], &d, &error)) return fail(error);
        const bool ok = picturegate::passes(d);
        char psnr[32] = "inf";
        if (!std::isinf(d.psnr)) std::snprintf(psnr, sizeof psnr, "%.2f", d.psnr);
        const double share = d.pixels ? 100.0 * double(d.overOne) / double(d.pixels) : 0.0;
        std::printf("%s: max diff %d, >1 level %lld (%.4f%%), >2 levels %lld, PSNR %s dB: %s\n", compare[1].c_str(),
                    d.maxLevel, static_cast<long long>(d.overOne), share, static_cast<long long>(d.overTwo), psnr,
                    ok ? "pass" : "FAIL");
        return ok ? 0 : 1;
    }

    const std::optional<content::RenderPath> fastPath = content::parseRenderPath(fastName);
    if (!fastPath || *fastPath == content::RenderPath::Faithful)
        return fail("--fast-path " + fastName + ": not a fast path (fast or fast-fixed)");

    std::vector<GateFrame> frames = quick ? picturegate::quickGateFrames() : picturegate::gateFrames();
    if (!only.empty()) {
        std::vector<GateFrame> picked;
        std::size_t start = 0;
        while (start <= only.size()) {
            const std::size_t comma = std::min(only.find(',', start), only.size());
            const std::string name = only.substr(start, comma - start);
            bool found = false;
            for (const GateFrame& f : picturegate::gateFrames()) {
                if (f.name == name) {
                    picked.push_back(f);
                    found = true;
                }
            }
            if (!found) return fail("no gate frame named '" + name + "' (see --list)");
            start = comma + 1;
        }
        frames = picked;
    }
    if (list) {
        for (const GateFrame& f : frames)
            std::printf("%-16s t %6.1f  ms %6d  %dx%d\n", f.name.c_str(), f.t, picturegate::msAtSceneTime(f.t), f.width,
                        f.height);
        return 0;
    }
    if (!saveDir.empty()) {
        struct stat st {};
        if (stat(saveDir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return fail("--save " + saveDir + ": not an existing directory");
        for (const GateFrame& f : frames) {
            for (const char* path : {"faithful", fastName.c_str()}) {
                const std::string file = saveDir + "/" + f.name + "-" + path + ".png";
                if (exists(file)) return fail(file + " exists; not replaced (remove it or pick another --save)");
            }
        }
        std::error_code error;  // the run directory becomes the working one
        const std::filesystem::path absolute = std::filesystem::absolute(saveDir, error);
        if (error) return fail("--save " + saveDir + ": " + error.message());
        saveDir = absolute.string();
    }
    if (!runDir.empty() && chdir(runDir.c_str()) != 0)
        return fail("cannot enter the run directory " + runDir + ": " + std::strerror(errno));
    if (!exists("data"))
        return fail("no data/ in the run directory (give --run-dir, e.g. build/release/run after the content-pack target)");

    std::vector<capture::RgbImage> faithful, fast;
    std::size_t done = 0;
    const std::size_t total = frames.size() * 2;
    auto progress = [&](const GateFrame& f) {
        std::fprintf(stderr, "%s: drawn %zu of %zu (%s)\n", kProgram, ++done, total, f.name.c_str());
    };
    std::string error;
    if (!picturegate::renderFrames(frames, content::RenderPath::Faithful, &faithful, &error, progress) ||
        !picturegate::renderFrames(frames, *fastPath, &fast, &error, progress))
        return fail(error);

    std::printf("%-16s %7s %9s %10s %10s %8s %9s  %s\n", "frame", "t", "size", "max diff", ">1 level", ">2 levels",
                "PSNR dB", "gate");
    bool allPass = true;
    for (std::size_t k = 0; k < frames.size(); ++k) {
        const GateFrame& f = frames[k];
        const picturegate::FrameDifference d = picturegate::compareImages(faithful[k], fast[k]);
        const bool ok = picturegate::passes(d);
        allPass = allPass && ok;
        const std::string size = std::to_string(f.width) + "x" + std::to_string(f.height);
        char psnr[32];
        if (std::isinf(d.psnr))
            std::snprintf(psnr, sizeof psnr, "inf");
        else
            std::snprintf(psnr, sizeof psnr, "%.2f", d.psnr);
        std::printf("%-16s %7.1f %9s %10d %10lld %8lld %9s  %s\n", f.name.c_str(), f.t, size.c_str(), d.maxLevel,
                    static_cast<long long>(d.overOne), static_cast<long long>(d.overTwo), psnr, ok ? "pass" : "FAIL");
        if (!saveDir.empty()) {
            for (const auto& [name, image] : {std::pair{"faithful", &faithful[k]}, std::pair{fastName.c_str(), &fast[k]}}) {
                const std::string file = saveDir + "/" + f.name + "-" + name + ".png";
                if (!capture::writePng(file, *image, &error)) return fail(error);
            }
        }
    }
    std::printf("%s\n", allPass ? "every frame passes the gate" : "a frame is beyond the gate");
    return allPass ? 0 : 1;
}
