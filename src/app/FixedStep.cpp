#include "app/FixedStep.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace app {

int msForFrame(int64_t n, int fps) {
    return kFirstFrameMs + static_cast<int>(n * 1000 / fps);
}

namespace {
// The first frame whose music time is at least ms.
int64_t firstFrameAtOrAfter(int ms, int fps) {
    if (ms <= kFirstFrameMs) return 0;
    const int64_t span = static_cast<int64_t>(ms - kFirstFrameMs) * fps;
    return (span + 999) / 1000;
}
}  // namespace

FramePlan planFrames(int fps, int fromMs, int toMs) {
    FramePlan plan;
    plan.fps = fps;
    const int end = toMs < 0 ? kShowEndMs : std::min(toMs, kShowEndMs);
    plan.firstFrame = firstFrameAtOrAfter(fromMs, fps);
    plan.frameCount = std::max<int64_t>(0, firstFrameAtOrAfter(end, fps) - plan.firstFrame);
    return plan;
}

bool parseWholeNumber(const std::string& text, int* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < INT_MIN || v > INT_MAX) return false;
    *value = static_cast<int>(v);
    return true;
}

bool parseStepOption(const std::string& name, const std::string& text, StepOptions* options,
                     std::string* error) {
    int* target = nullptr;
    const char* what = "a music time in milliseconds";
    if (name == "--fps") {
        target = &options->fps;
        what = "a whole number of frames per second";
    } else if (name == "--from") {
        target = &options->fromMs;
    } else if (name == "--to") {
        target = &options->toMs;
        options->toGiven = true;
    } else {
        *error = "unknown option '" + name + "'";
        return false;
    }
    if (!parseWholeNumber(text, target)) {
        *error = "option " + name + ": '" + text + "' is not " + what;
        return false;
    }
    if (target == &options->fps && (options->fps < 1 || options->fps > kMaxFps)) {
        *error = "option --fps: " + std::to_string(options->fps) + " is out of range (1 to " +
                 std::to_string(kMaxFps) + " frames per second)";
        return false;
    }
    return true;
}

bool checkStepRange(const StepOptions& o, std::string* error) {
    if (o.fromMs < kFirstFrameMs) {
        *error = "option --from: " + std::to_string(o.fromMs) + " is before the show's first frame (" +
                 std::to_string(kFirstFrameMs) + " ms)";
        return false;
    }
    if (o.fromMs >= kShowEndMs) {
        *error = "option --from: " + std::to_string(o.fromMs) + " is at or after the end of the show (" +
                 std::to_string(kShowEndMs) + " ms)";
        return false;
    }
    if (o.toGiven && o.toMs <= o.fromMs) {
        *error = "the time range " + std::to_string(o.fromMs) + " to " + std::to_string(o.toMs) +
                 " ms is empty";
        return false;
    }
    return true;
}

}  // namespace app
