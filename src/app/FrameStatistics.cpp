#include "app/FrameStatistics.h"

#include <algorithm>

namespace app {

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const auto k = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(k, values.size() - 1)];
}

FrameTimeSummary summarizeFrameTimes(const std::vector<double>& frameMs) {
    FrameTimeSummary s;
    s.frames = frameMs.size();
    s.median = percentile(frameMs, 0.5);
    s.p99 = percentile(frameMs, 0.99);
    s.worst = percentile(frameMs, 1.0);
    return s;
}

}  // namespace app
