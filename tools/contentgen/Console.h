#pragma once
// Progress output shared by the generator's threads: whole lines (one per finished file) and one
// progress bar that is redrawn in place on a terminal and printed in quarter steps otherwise.
#include <cstdio>
#include <mutex>
#include <string>

namespace contentgen {

class Console {
public:
    // quiet: print nothing.
    Console(std::FILE* out, bool quiet);

    void line(const std::string& text);
    // Shows the bar for `label` at fraction 0 ... 1; a fraction of 1 finishes the bar.
    void bar(const std::string& label, double fraction);

private:
    void clearBar();
    void drawBar();

    std::FILE* out_;
    bool quiet_, terminal_;
    std::mutex mutex_;
    std::string label_;
    double fraction_ = 0.0;
    int lastQuarter_ = -1;
    bool barShown_ = false;
};

}  // namespace contentgen
