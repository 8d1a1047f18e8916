#pragma once
// Reading the finished frame back from the GL frame buffer.
#include "PngWriter.h"

namespace capture {

// Reads the lower-left width x height pixels of the current context's back buffer as 8-bit RGB,
// rows turned to run from the top down (GL's rows run from the bottom up). Waits for the
// pipeline (glFinish) first. Call it after the frame is drawn and before the buffers are swapped:
// after a swap the back buffer's content is undefined, and the front buffer of a window only
// holds the pixels the window owns on screen. The picture read is the one the swap then shows.
RgbImage readFrame(int width, int height);

}  // namespace capture
