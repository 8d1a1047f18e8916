#include "FrameTiming.h"

#include <map>

namespace capture {

float beatForMs(int ms) {
    return static_cast<float>(static_cast<long double>(ms) * 145 / 1000 / 60);
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
