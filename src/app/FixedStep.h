#pragma once
// The show drawn at a fixed music-time step, as the capture tool and the timedemo draw it: which
// music time each frame shows, and the --fps, --from and --to options that choose the frames.
//
// The live show's clock reads 400 ms at the moment the soundtrack starts playing, so the
// soundtrack at file position p seconds sounds with the picture of music time 400 + 1000 p.
// Frame n of a run at fps frames per second sits at n / fps seconds and therefore shows music
// time 400 + n * 1000 / fps (whole milliseconds, rounded down like a tick counter).
#include <cstdint>
#include <string>

namespace app {

constexpr int kFirstFrameMs = 400;
// The first music time at which the show is over (beat 608 reached); frames stop before it.
constexpr int kShowEndMs = 251587;
constexpr int kMaxFps = 1000;

// Music time of frame n (n >= 0).
int msForFrame(int64_t n, int fps);

// The frames of a run: every frame n with from <= msForFrame(n) < to, the end clamped to the end
// of the show. frameCount is 0 for an empty range.
struct FramePlan {
    int64_t firstFrame = 0;
    int64_t frameCount = 0;
    int fps = 60;

    int msAt(int64_t index) const { return msForFrame(firstFrame + index, fps); }
    // Where frame index sits in the soundtrack file, in seconds.
    double soundtrackSeconds(int64_t index) const {
        return static_cast<double>(firstFrame + index) / fps;
    }
    double durationSeconds() const { return static_cast<double>(frameCount) / fps; }
};

// toMs < 0 stands for the end of the show; fromMs below the first frame starts at frame 0.
FramePlan planFrames(int fps, int fromMs, int toMs);

// The options of a fixed-step run, as given on a command line.
struct StepOptions {
    int fps = 60;
    int fromMs = kFirstFrameMs;  // first music time (the show's first frame by default)
    int toMs = -1;               // end, exclusive; -1: the end of the show
    bool toGiven = false;
};

// Whole decimal number in int range, nothing else in the text.
bool parseWholeNumber(const std::string& text, int* value);

// Takes the value text of option `name` ("--fps", "--from" or "--to"; any other name is refused)
// into *options. False with a one-line reason in *error (naming the option and the value) for a
// value that is not a whole number, or a rate outside 1 to kMaxFps.
bool parseStepOption(const std::string& name, const std::string& text, StepOptions* options,
                     std::string* error);

// Checked once every option is read: the start lies within the show (kFirstFrameMs to before
// kShowEndMs) and an end given lies after it. False with the reason in *error.
bool checkStepRange(const StepOptions& options, std::string* error);

}  // namespace app
