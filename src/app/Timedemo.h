#pragma once
// The timedemo: the show drawn at a fixed step of music time as fast as the machine goes, in the
// show's window and without sound, timed frame by frame; the habit for comparing machines and GL
// drivers. The frames are the capture tool's (app/FixedStep.h), so a timedemo at --fps 60 draws
// exactly the frames of a 60 fps capture.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "app/FixedStep.h"
#include "app/FrameStatistics.h"

namespace app {

class GlWindow;

struct TimedemoResult {
    FrameTimeSummary frameMs;  // per frame: the drawing and the present (which waits for the GL)
    double seconds = 0;        // wall clock from the first frame's start to the last one's end
    int64_t planned = 0;       // frames in the plan
    bool stopped = false;      // Escape or the window's closing ended it before the plan's end
};

// Draws the plan's frames in order: before each, pumps the window's events and stops when Escape
// is down or the window was closed; then depth writes on (as the live loop), drawFrame(ms) and
// window.present(). Every progressInterval seconds of wall clock, and after the last frame, writes
// a progress line (app/Progress.h) to `progress` when it is not null.
TimedemoResult runTimedemo(GlWindow& window, const std::function<void(int ms)>& drawFrame,
                           const FramePlan& plan, std::FILE* progress, double progressInterval = 5.0);

// The one-line summary, for example "timedemo: 600 frames in 21.35 s, 28.10 fps average; frame
// ms median 33.2, p99 61.0, worst 80.5; fast path; GL renderer llvmpipe (LLVM 15.0.6, 256 bits)";
// "stopped early after" in place of "timedemo:" when Escape ended it.
std::string timedemoSummary(const TimedemoResult& result, const std::string& renderPath,
                            const std::string& renderer);

}  // namespace app
