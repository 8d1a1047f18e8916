#include "Console.h"

#include <unistd.h>

namespace contentgen {

Console::Console(std::FILE* out, bool quiet) : out_(out), quiet_(quiet), terminal_(isatty(fileno(out)) != 0) {}

void Console::clearBar() {
    if (barShown_ && terminal_) std::fputs("\r\033[K", out_);
}

void Console::drawBar() {
    const int width = 30;
    const int filled = static_cast<int>(fraction_ * width + 0.5);
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(width - filled), '.');
    std::fprintf(out_, "%s%-34s [%s] %3d%%", terminal_ ? "\r" : "", label_.c_str(), bar.c_str(),
                 static_cast<int>(fraction_ * 100.0 + 0.5));
    if (!terminal_) std::fputc('\n', out_);
    barShown_ = true;
}

void Console::line(const std::string& text) {
    if (quiet_) return;
    std::lock_guard<std::mutex> lock(mutex_);
    clearBar();
    std::fprintf(out_, "%s\n", text.c_str());
    if (barShown_ && terminal_) drawBar();
    std::fflush(out_);
}

void Console::bar(const std::string& label, double fraction) {
    if (quiet_) return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (label != label_) {
        if (barShown_ && terminal_) std::fputc('\n', out_);
        label_ = label;
        lastQuarter_ = -1;
        barShown_ = false;
    }
    fraction_ = fraction < 0.0 ? 0.0 : (fraction > 1.0 ? 1.0 : fraction);
    const int quarter = static_cast<int>(fraction_ * 4.0);
    if (terminal_ || quarter != lastQuarter_) {
        clearBar();
        drawBar();
        lastQuarter_ = quarter;
    }
    if (fraction_ >= 1.0 && terminal_) {
        std::fputc('\n', out_);
        barShown_ = false;
        label_.clear();
    }
    std::fflush(out_);
}

}  // namespace contentgen
