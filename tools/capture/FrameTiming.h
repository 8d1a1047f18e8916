#pragma once
// The capture's fixed time step: which music time each frame of the video shows (app/FixedStep.h,
// shared with the timedemo), and the frames drawn for the video and the stills.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/FixedStep.h"

namespace capture {

using app::FramePlan;
using app::kFirstFrameMs;
using app::kShowEndMs;
using app::msForFrame;
using app::planFrames;

// The show's beat for a music time: ms * 145 / 1000 / 60 in extended precision, rounded to float.
float beatForMs(int ms);
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
