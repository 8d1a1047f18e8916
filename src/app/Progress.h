#pragma once
// The progress line the capture tool and the timedemo keep on the terminal.
#include <cstdint>
#include <string>

namespace app {

// "m:ss.mmm" for a music time (negative times get a leading '-').
std::string formatMusicTime(int ms);
// "h:mm:ss" or "m:ss" for a span of wall-clock seconds, rounded up to whole seconds.
std::string formatDuration(double seconds);

// Counts frames against the wall clock and says how a run is doing.
class Progress {
public:
    // total: frames to draw; startSeconds: the wall clock when drawing starts.
    Progress(int64_t total, double startSeconds);

    // One more frame (music time ms) is done at wall-clock time nowSeconds.
    void frameDone(int ms, double nowSeconds);

    // "frame 120/15072  music 0:02.383  58.3 fps  left 4:16": frames done, the music time of the
    // last frame, the mean rate so far and the time the remaining frames take at that rate.
    std::string line() const;

    // True when at least interval seconds have passed since the last call that returned true
    // (or since the start): a line is due on the terminal.
    bool due(double nowSeconds, double interval);

    int64_t done() const { return done_; }
    double framesPerSecond() const;
    double elapsedSeconds() const { return last_ - start_; }

private:
    int64_t total_;
    int64_t done_ = 0;
    int lastMs_ = 0;
    double start_;
    double last_;
    double lastShown_;
};

}  // namespace app
