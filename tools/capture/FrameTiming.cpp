#include "FrameTiming.h"

#include <algorithm>
#include <map>

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

std::vector<DrawStep> planDraws(const FramePlan& video, const std::vector<int>& stillTimes) {
    std::map<int, DrawStep> byTime;
    for (int64_t n = 0; n < video.frameCount; ++n) {
        DrawStep& step = byTime[video.msAt(n)];
        step.ms = video.msAt(n);
        step.videoFrame = n;
    }
    for (size_t i = 0; i < stillTimes.size(); ++i) {
        DrawStep& step = byTime[stillTimes[i]];
        step.ms = stillTimes[i];
        step.stills.push_back(i);
    }
    std::vector<DrawStep> steps;
    steps.reserve(byTime.size());
    for (auto& entry : byTime) steps.push_back(std::move(entry.second));
    return steps;
}

}  // namespace capture
