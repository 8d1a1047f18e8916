#include "app/Progress.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace app {

std::string formatMusicTime(int ms) {
    const long long m = std::llabs(static_cast<long long>(ms));
    char text[40];
    std::snprintf(text, sizeof text, "%s%lld:%02lld.%03lld", ms < 0 ? "-" : "", m / 60000,
                  m / 1000 % 60, m % 1000);
    return text;
}

std::string formatDuration(double seconds) {
    const long long s = seconds > 0 ? static_cast<long long>(std::ceil(seconds)) : 0;
    char text[40];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", s / 60, s % 60);
    return text;
}

Progress::Progress(int64_t total, double startSeconds)
    : total_(total), start_(startSeconds), last_(startSeconds), lastShown_(startSeconds) {}

void Progress::frameDone(int ms, double nowSeconds) {
    ++done_;
    lastMs_ = ms;
    last_ = nowSeconds;
}

double Progress::framesPerSecond() const {
    const double elapsed = last_ - start_;
    return elapsed > 0 ? static_cast<double>(done_) / elapsed : 0.0;
}

std::string Progress::line() const {
    const double fps = framesPerSecond();
    char rate[32];
    char left[48];
    if (done_ > 0 && fps > 0) {
        std::snprintf(rate, sizeof rate, "%.1f fps", fps);
        std::snprintf(left, sizeof left, "left %s",
                      formatDuration(static_cast<double>(total_ - done_) / fps).c_str());
    } else {
        std::snprintf(rate, sizeof rate, "-- fps");
        std::snprintf(left, sizeof left, "left --");
    }
    return "frame " + std::to_string(done_) + "/" + std::to_string(total_) + "  music " +
           formatMusicTime(lastMs_) + "  " + rate + "  " + left;
}

bool Progress::due(double nowSeconds, double interval) {
    if (nowSeconds - lastShown_ < interval) return false;
    lastShown_ = nowSeconds;
    return true;
}

}  // namespace app
