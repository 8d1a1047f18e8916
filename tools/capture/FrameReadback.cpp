#include "FrameReadback.h"

#include <GL/gl.h>

#include <cstring>

namespace capture {

RgbImage readFrame(int width, int height) {
    RgbImage image;
    image.width = width;
    image.height = height;
    const size_t row = static_cast<size_t>(width) * 3;
    std::vector<uint8_t> bottomUp(row * height);
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    image.pixels.resize(bottomUp.size());
    for (int y = 0; y < height; ++y)
        std::memcpy(&image.pixels[row * y], &bottomUp[row * (height - 1 - y)], row);
    return image;
}

}  // namespace capture
