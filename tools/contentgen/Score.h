#pragma once
// The soundtrack's arrangement: every note of the piece, placed on the picture's timeline.
#include <functional>

#include "Synth.h"

namespace contentgen {

// Plays the whole piece into synth. progress (0 ... 1) is called as sections are rendered.
void performScore(Synth& synth, const std::function<void(double)>& progress);

// Master volume at scene time t: the fade in from silence over t < 32, full level through the
// show, and the ending's fade over 576 ... 607 and beyond.
float masterGain(double t);

// The arrangement's dynamics at scene time t, a gain ahead of mastering.
float sectionGain(double t);

}  // namespace contentgen
