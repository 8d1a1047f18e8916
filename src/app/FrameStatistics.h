#pragma once
// Figures of a run of frame times: what the frame benchmark and the timedemo report.
#include <cstddef>
#include <vector>

namespace app {

// The value at rank round(p (n - 1)) of the sorted values (p from 0 to 1: 0.5 the median, 1 the
// largest); 0 for no values.
double percentile(std::vector<double> values, double p);

struct FrameTimeSummary {
    std::size_t frames = 0;
    double median = 0;  // ms
    double p99 = 0;     // ms
    double worst = 0;   // ms
};
// Median, 99th percentile and worst of frame times in milliseconds (all 0 for none).
FrameTimeSummary summarizeFrameTimes(const std::vector<double>& frameMs);

}  // namespace app
