#include "FrameReadback.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>

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

RgbImage bgraBottomUpToRgb(const uint8_t* bgra, int width, int height) {
    RgbImage image;
    image.width = width;
    image.height = height;
    image.pixels.resize(static_cast<size_t>(width) * height * 3);
    bgraBottomUpToRgb(bgra, width, height, image.pixels.data());
    return image;
}

void bgraBottomUpToRgb(const uint8_t* bgra, int width, int height, uint8_t* rgb) {
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = bgra + static_cast<size_t>(height - 1 - y) * width * 4;
        uint8_t* out = rgb + static_cast<size_t>(y) * width * 3;
        for (int x = 0; x < width; ++x, in += 4, out += 3) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
    }
}

namespace {
// GL 1.5 or the extension: pixel pack buffers.
bool glHasPixelBuffers() {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    int major = 0, minor = 0;
    if (version && std::sscanf(version, "%d.%d", &major, &minor) == 2 && (major >= 2 || (major == 1 && minor >= 5)))
        return true;
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    return extensions && std::strstr(extensions, "GL_ARB_pixel_buffer_object") != nullptr;
}
}  // namespace

PipelinedReader::PipelinedReader(int width, int height, const ProcAddress& procAddress)
    : width_(width), height_(height), bytes_(static_cast<size_t>(width) * height * 4) {
    if (!procAddress || !glHasPixelBuffers()) return;
    // The core names, else the extension's (the same entry points).
    auto find = [&procAddress](auto* entry, const char* name) {
        void* address = procAddress(name);
        if (!address) address = procAddress((std::string(name) + "ARB").c_str());
        *entry = reinterpret_cast<std::remove_pointer_t<decltype(entry)>>(address);
        return address != nullptr;
    };
    if (!find(&genBuffers_, "glGenBuffers") || !find(&deleteBuffers_, "glDeleteBuffers") ||
        !find(&bindBuffer_, "glBindBuffer") || !find(&bufferData_, "glBufferData") ||
        !find(&mapBuffer_, "glMapBuffer") || !find(&unmapBuffer_, "glUnmapBuffer") ||
        !find(&getBufferSubData_, "glGetBufferSubData"))
        return;
    genBuffers_(2, buffers_);
    for (GLuint buffer : buffers_) {
        bindBuffer_(GL_PIXEL_PACK_BUFFER, buffer);
        bufferData_(GL_PIXEL_PACK_BUFFER, static_cast<GLsizeiptr>(bytes_), nullptr, GL_STREAM_READ);
    }
    bindBuffer_(GL_PIXEL_PACK_BUFFER, 0);
    if (glGetError() != GL_NO_ERROR) {  // out of memory: read directly
        deleteBuffers_(2, buffers_);
        buffers_[0] = buffers_[1] = 0;
    }
}

PipelinedReader::~PipelinedReader() {
    if (pipelined()) deleteBuffers_(2, buffers_);
}

void PipelinedReader::readInto(uint8_t* target) const {
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width_, height_, GL_BGRA, GL_UNSIGNED_BYTE, target);
}

bool PipelinedReader::start(std::vector<uint8_t>* previous) {
    if (!pipelined()) {
        const bool had = take(previous);
        direct_.resize(bytes_);
        readInto(direct_.data());
        pending_ = 0;
        return had;
    }
    bindBuffer_(GL_PIXEL_PACK_BUFFER, buffers_[next_]);
    readInto(nullptr);  // offset 0 into the bound buffer: the GL copies without waiting for us
    bindBuffer_(GL_PIXEL_PACK_BUFFER, 0);
    const bool had = take(previous);
    pending_ = next_;
    next_ ^= 1;
    return had;
}

bool PipelinedReader::take(std::vector<uint8_t>* frame) {
    if (pending_ < 0) return false;
    const int buffer = pending_;
    pending_ = -1;
    if (!pipelined()) {
        frame->swap(direct_);
        return true;
    }
    frame->resize(bytes_);
    bindBuffer_(GL_PIXEL_PACK_BUFFER, buffers_[buffer]);
    const void* mapped = mapBuffer_(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY);
    if (mapped) {
        std::memcpy(frame->data(), mapped, bytes_);
        unmapBuffer_(GL_PIXEL_PACK_BUFFER);
    } else {  // a map refused (out of memory): the bytes copied out instead
        getBufferSubData_(GL_PIXEL_PACK_BUFFER, 0, static_cast<GLsizeiptr>(bytes_), frame->data());
    }
    bindBuffer_(GL_PIXEL_PACK_BUFFER, 0);
    return true;
}

}  // namespace capture
