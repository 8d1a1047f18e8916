#include "app/Timedemo.h"

#include <GL/gl.h>

#include <chrono>
#include <vector>

#include "app/GlWindow.h"
#include "app/Progress.h"
#include "platform/VirtualKeys.h"

namespace app {

namespace {
double secondsNow() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}
}  // namespace

TimedemoResult runTimedemo(GlWindow& window, const std::function<void(int ms)>& drawFrame,
                           const FramePlan& plan, std::FILE* progress, double progressInterval) {
    TimedemoResult result;
    result.planned = plan.frameCount;
    std::vector<double> frameMs;
    frameMs.reserve(static_cast<size_t>(plan.frameCount));
    const double start = secondsNow();
    Progress line(plan.frameCount, start);
    for (int64_t n = 0; n < plan.frameCount; ++n) {
        window.pumpMessages();
        if (window.keys[platform::vk::Escape] || window.quitRequested) {
            result.stopped = true;
            break;
        }
        const int ms = plan.msAt(n);
        const double frameStart = secondsNow();
        glDepthMask(GL_TRUE);
        drawFrame(ms);
        window.present();
        const double frameEnd = secondsNow();
        frameMs.push_back((frameEnd - frameStart) * 1000.0);
        line.frameDone(ms, frameEnd);
        if (progress && line.due(frameEnd, progressInterval)) std::fprintf(progress, "%s\n", line.line().c_str());
    }
    result.seconds = line.elapsedSeconds();
    result.frameMs = summarizeFrameTimes(frameMs);
    if (progress) std::fprintf(progress, "%s\n", line.line().c_str());
    return result;
}

std::string timedemoSummary(const TimedemoResult& r, const std::string& renderPath, const std::string& renderer) {
    const double fps = r.seconds > 0 ? static_cast<double>(r.frameMs.frames) / r.seconds : 0.0;
    char figures[256];
    std::snprintf(figures, sizeof figures,
                  "%zu frames in %.2f s, %.2f fps average; frame ms median %.1f, p99 %.1f, worst %.1f",
                  r.frameMs.frames, r.seconds, fps, r.frameMs.median, r.frameMs.p99, r.frameMs.worst);
    return std::string(r.stopped ? "stopped early after " : "timedemo: ") + figures + "; " + renderPath +
           " path; GL renderer " + renderer;
}

}  // namespace app
