#pragma once
// The capture's fixed time step: which music time each frame of the video shows.
//
// The live show's clock reads 400 ms at the moment the soundtrack starts playing, so the
// soundtrack at file position p seconds sounds with the picture of music time 400 + 1000 p.
// Frame n of a video at fps frames per second sits at n / fps seconds and therefore shows music
// time 400 + n * 1000 / fps (whole milliseconds, rounded down like a tick counter).
#include <cstddef>
#include <cstdint>
#include <vector>

namespace capture {

constexpr int kFirstFrameMs = 400;
// The first music time at which the show is over (beat 608 reached); frames stop before it.
constexpr int kShowEndMs = 251587;

// The show's beat for a music time: ms * 145 / 1000 / 60 in extended precision, rounded to float.
float beatForMs(int ms);

// Music time of frame n (n >= 0).
int msForFrame(int64_t n, int fps);

// The frames of a capture: every frame n with from <= msForFrame(n) < to, the end clamped to the
// end of the show. frameCount is 0 for an empty range.
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

// One frame to draw: its music time, its index in the video (-1: not in the video) and the
// indices of the stills taken from it.
struct DrawStep {
    int ms = 0;
    int64_t videoFrame = -1;
    std::vector<size_t> stills;
};

// Every frame of the plan and every still time, in order of music time: a still at the music
// time of a video frame is taken from that frame, other stills get a frame of their own, and
// stills of the same time share one.
std::vector<DrawStep> planDraws(const FramePlan& video, const std::vector<int>& stillTimes);

}  // namespace capture
