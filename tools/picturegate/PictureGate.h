#pragma once
// The picture gate: the same music times drawn on the faithful and on the fast render path,
// compared pixel by pixel. A speed change to the fast path is accepted only when every gate
// frame stays within kMaxLevelDifference of the faithful frame and no more than
// kMaxShareOverOne of its pixels differ by more than one level.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "PngWriter.h"
#include "content/RenderPath.h"

namespace picturegate {

constexpr int kMaxLevelDifference = 2;
constexpr double kMaxShareOverOne = 0.001;

// One frame of the gate: a section of the show at a scene time t (beats), at a window size.
struct GateFrame {
    std::string name;
    float t;
    int width, height;
};

// About a dozen frames covering every section: title inset, plain, the three bursts, swell
// peak, breakdown, credits, white-out, end fade, and the band of a 1280 x 960 window.
const std::vector<GateFrame>& gateFrames();
// The few the ctest runs (one per kind of drawing: title, streaks, white-out, the large band).
std::vector<GateFrame> quickGateFrames();

// The first music time (ms) whose scene time reaches t.
int msAtSceneTime(float t);

// How far one picture is from another (both RGB, same size). A channel's difference is in
// levels (0 .. 255); a pixel's is the largest of its three channels'.
struct FrameDifference {
    int maxLevel = 0;            // largest difference of any channel
    std::int64_t overOne = 0;    // pixels more than 1 level off
    std::int64_t overTwo = 0;    // pixels more than 2 levels off
    std::int64_t pixels = 0;
    double psnr = 0;             // dB over all channels; infinite when the pictures are equal
};
// Pictures of different sizes compare as maximally different (maxLevel 255, every pixel off).
FrameDifference compareImages(const capture::RgbImage& reference, const capture::RgbImage& candidate);
// Within the gate: maxLevel <= kMaxLevelDifference and overOne <= kMaxShareOverOne of the pixels.
bool passes(const FrameDifference& difference);
// compareImages on two PNG files (e.g. the same frame drawn by two builds). False with the reason
// in *error when either cannot be read.
bool comparePngFiles(const std::string& reference, const std::string& candidate, FrameDifference* difference,
                     std::string* error);

// The frames drawn on one path, in the order given: a fresh window of each size, the content
// loaded on that path with the run directory as working directory, the main loop's depth-write
// switch before each frame, the back buffer read before the swap. `progress` (if set) hears
// each frame's name once it is drawn. Returns false with the reason in *error (no display, a
// content file that failed to load).
bool renderFrames(const std::vector<GateFrame>& frames, content::RenderPath path,
                  std::vector<capture::RgbImage>* images, std::string* error,
                  const std::function<void(const GateFrame&)>& progress = {});

}  // namespace picturegate
