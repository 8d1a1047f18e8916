#include "FrameTiming.h"

#include <algorithm>

namespace capture {

float beatForMs(int ms) {
    return static_cast<float>(static_cast<long double>(ms) * 145 / 1000 / 60);
}

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

}  // namespace capture
