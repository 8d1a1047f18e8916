#include "CaptureOptions.h"

#include <cctype>

#include "FrameTiming.h"

namespace capture {

namespace {

constexpr int kMinSide = 16;
constexpr int kMaxSide = 8192;

// Whether name ends in suffix, in any mix of cases (".mp4", ".MP4").
bool endsWith(const std::string& name, const std::string& suffix) {
    if (name.size() < suffix.size()) return false;
    for (size_t i = 0; i < suffix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(name[name.size() - suffix.size() + i])) != suffix[i]) return false;
    return true;
}

bool parseSize(const std::string& text, int* width, int* height) {
    const auto x = text.find_first_of("xX");
    if (x == std::string::npos) return false;
    return app::parseWholeNumber(text.substr(0, x), width) && app::parseWholeNumber(text.substr(x + 1), height);
}

}  // namespace

bool parseCaptureOptions(const std::vector<std::string>& args, CaptureOptions* options,
                         std::string* error) {
    CaptureOptions& o = *options;
    app::StepOptions step{o.fps, o.fromMs, o.toMs, false};
    bool formatGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool hasValue = false;
        if (name.size() > 2 && name.compare(0, 2, "--") == 0) {
            const auto eq = name.find('=');
            if (eq != std::string::npos) {
                value = name.substr(eq + 1);
                name.resize(eq);
                hasValue = true;
            }
        }
        // Takes the option's value: the text after '=' or the next argument.
        auto take = [&](std::string* out) {
            if (hasValue) {
                *out = value;
                return true;
            }
            if (i + 1 >= args.size()) {
                *error = "option " + name + " needs a value";
                return false;
            }
            *out = args[++i];
            return true;
        };
        auto noValue = [&]() {
            if (hasValue) *error = "option " + name + " takes no value";
            return !hasValue;
        };

        if (name == "-h" || name == "--help") {
            if (!noValue()) return false;
            o.help = true;
        } else if (name == "--fps" || name == "--from" || name == "--to") {
            std::string text;
            if (!take(&text) || !app::parseStepOption(name, text, &step, error)) return false;
            o.fps = step.fps;
            o.fromMs = step.fromMs;
            o.toMs = step.toMs;
        } else if (name == "--size") {
            std::string text;
            if (!take(&text)) return false;
            if (!parseSize(text, &o.width, &o.height)) {
                *error = "option --size: '" + text + "' is not WIDTHxHEIGHT (for example 640x480)";
                return false;
            }
            if (o.width < kMinSide || o.width > kMaxSide || o.height < kMinSide || o.height > kMaxSide) {
                *error = "option --size: " + text + " is out of range (each side " +
                         std::to_string(kMinSide) + " to " + std::to_string(kMaxSide) + " pixels)";
                return false;
            }
        } else if (name == "-o" || name == "--output") {
            if (!take(&o.output)) return false;
            if (o.output.empty()) {
                *error = "option " + name + " needs a file name";
                return false;
            }
        } else if (name == "--still") {
            std::string text;
            if (!take(&text)) return false;
            StillRequest still;
            const auto eq = text.find('=');
            const std::string msText = text.substr(0, eq);
            if (!app::parseWholeNumber(msText, &still.ms)) {
                *error = "option --still: '" + msText + "' is not a music time in milliseconds";
                return false;
            }
            if (still.ms < 0 || still.ms >= kShowEndMs) {
                *error = "option --still: " + msText + " ms is outside the show (0 to " +
                         std::to_string(kShowEndMs - 1) + " ms)";
                return false;
            }
            still.path = eq == std::string::npos ? "still-" + msText + ".png" : text.substr(eq + 1);
            if (still.path.empty()) {
                *error = "option --still: no file name after '='";
                return false;
            }
            if (!endsWith(still.path, ".png")) {
                *error = "option --still: '" + still.path + "' does not end in .png; stills are PNG pictures";
                return false;
            }
            o.stills.push_back(still);
        } else if (name == "-f" || name == "--format") {
            std::string format;
            if (!take(&format)) return false;
            if (format != "mp4") {
                *error = "option " + name + ": '" + format + "' is not a format the capture writes (mp4)";
                return false;
            }
            formatGiven = true;
        } else if (name == "--faithful") {
            if (!noValue()) return false;
            o.faithful = true;
        } else if (name == "--run-dir") {
            if (!take(&o.runDir)) return false;
            if (o.runDir.empty()) {
                *error = "option --run-dir needs a directory";
                return false;
            }
        } else if (name == "-y" || name == "--overwrite") {
            if (!noValue()) return false;
            o.overwrite = true;
        } else {
            *error = (!name.empty() && name[0] == '-' ? "unknown option " : "unexpected argument ") +
                     std::string("'") + args[i] + "'";
            return false;
        }
    }
    if (o.help) return true;

    if (o.output.empty() && o.stills.empty()) o.output = "vorthalimex.mp4";
    if (!o.output.empty() && !formatGiven && !endsWith(o.output, ".mp4")) {
        *error = "option --output: '" + o.output + "' does not end in .mp4; the video is an H.264 MP4, " +
                 "and -f mp4 lets it have another name";
        return false;
    }
    if (!o.output.empty()) {
        if (!app::checkStepRange(step, error)) return false;
        if (o.width % 2 != 0 || o.height % 2 != 0) {
            *error = "option --size: the video needs an even width and height (H.264 4:2:0), not " +
                     std::to_string(o.width) + "x" + std::to_string(o.height);
            return false;
        }
    }
    return true;
}

std::string captureUsage(const std::string& program) {
    return "Usage: " + program + " [options]\n"
           "Renders the show offline, frame by frame at a fixed rate, into an H.264 MP4 video with\n"
           "its soundtrack (through the ffmpeg program) and/or into PNG stills. Frame n shows music\n"
           "time 400 + n * 1000 / fps ms, the live show's clock, until beat 608 (" +
           std::to_string(kShowEndMs - 1) + " ms).\n"
           "Draws off-screen (Mesa's EGL; no display or X server needed).\n"
           "\n"
           "Options:\n"
           "  -o, --output FILE   write the video to FILE, a name ending in .mp4 (default\n"
           "                      vorthalimex.mp4 when no --still is given; with --still and no\n"
           "                      --output only the stills are made)\n"
           "  -f, --format mp4    the video's format, the one there is: lets FILE have any name\n"
           "      --fps N         frames per second of the video, 1 to 1000 (default 60)\n"
           "      --size WxH      window and frame size in pixels (default 640x480; even for video)\n"
           "      --from MS       start the video at music time MS (default 400, the first frame)\n"
           "      --to MS         end the video before music time MS (default: the end of the show)\n"
           "      --still MS[=FILE]\n"
           "                      write the frame at music time MS (0 to " + std::to_string(kShowEndMs - 1) + ") as a PNG to\n"
           "                      FILE, a name ending in .png (default still-MS.png); may be\n"
           "                      given several times\n"
           "      --faithful      draw with the reference OpenGL 1.1 path, call for call (default:\n"
           "                      the fastest path the GL offers, the same picture; or as\n"
           "                      VX_RENDER_PATH=faithful|fast says)\n"
           "      --run-dir DIR   directory with data/ and blow.job (default, as for the program:\n"
           "                      the first that holds blow.job or data/Vorthalimex.mp3 of the\n"
           "                      current one, the tool's own folder, the build's run directory\n"
           "                      and the installed data folder beside the tool)\n"
           "  -y, --overwrite     replace output files that already exist\n"
           "  -h, --help          show this text\n"
           "\n"
           "Ctrl+C (or SIGTERM) stops the capture early with exit status 130; the video keeps the\n"
           "frames done so far and plays. Bad options exit with 2, other failures with 1.\n"
           "Example: " + program + " --run-dir build/release/run -o show.mp4\n";
}

}  // namespace capture
