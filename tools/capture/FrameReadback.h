#pragma once
// Reading the finished frame back from the GL frame buffer.
#include <GL/gl.h>

#include <GL/glext.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "PngWriter.h"

namespace capture {

// Reads the lower-left width x height pixels of the current context's back buffer as 8-bit RGB,
// rows turned to run from the top down (GL's rows run from the bottom up). Waits for the
// pipeline (glFinish) first. Call it after the frame is drawn and before the buffers are swapped:
// after a swap the back buffer's content is undefined, and the front buffer of a window only
// holds the pixels the window owns on screen. The picture read is the one the swap then shows.
RgbImage readFrame(int width, int height);

// Turns width x height pixels of 8-bit BGRA, rows from the bottom up (as glReadPixels gives them
// with GL_BGRA), into RGB rows from the top down: the same picture readFrame reads.
RgbImage bgraBottomUpToRgb(const uint8_t* bgra, int width, int height);
// The same into rgb, which holds width * height * 3 bytes (nothing allocated: a capture turns
// every frame into one buffer kept for the purpose).
void bgraBottomUpToRgb(const uint8_t* bgra, int width, int height, uint8_t* rgb);

// Reads frames back through two pixel buffer objects, so that the GL copies frame n into one
// while the program draws frame n + 1 and the bytes of frame n - 1 are taken from the other.
// Reads 4-byte BGRA (the frame buffer's own layout: no conversion in the GL); bgraBottomUpToRgb
// makes the picture readFrame gives from them. Without pixel buffer objects (GL 1.5, or
// GL_ARB_pixel_buffer_object) each read is made at once into memory instead: the same bytes.
// Needs the context current in every call, the destructor included.
class PipelinedReader {
public:
    // The GL's entry point of that name, or null (the window system's look-up).
    using ProcAddress = std::function<void*(const char* name)>;

    // The buffer entry points are looked up with procAddress (beyond GL 1.1 a system's GL
    // library need not export them); an empty procAddress, or a GL without the buffers or one
    // of the entry points: always the direct read.
    PipelinedReader(int width, int height, const ProcAddress& procAddress);
    ~PipelinedReader();
    PipelinedReader(const PipelinedReader&) = delete;
    PipelinedReader& operator=(const PipelinedReader&) = delete;

    // Whether reads go through pixel buffer objects.
    bool pipelined() const { return buffers_[0] != 0; }

    // Starts reading the back buffer's frame (call after drawing, before the swap). If a frame
    // was started before and not yet taken, its bytes are put in *previous (BGRA, bottom up) and
    // true is returned; otherwise false.
    bool start(std::vector<uint8_t>* previous);
    // The bytes of the last frame started and not yet taken: true with them in *frame, false
    // when there is none. A *frame that already holds frameBytes() is written over in place (a
    // buffer used before: no allocation); else it is resized.
    bool take(std::vector<uint8_t>* frame);

    size_t frameBytes() const { return bytes_; }

private:
    void readInto(uint8_t* target) const;

    int width_, height_;
    size_t bytes_;
    PFNGLGENBUFFERSPROC genBuffers_ = nullptr;
    PFNGLDELETEBUFFERSPROC deleteBuffers_ = nullptr;
    PFNGLBINDBUFFERPROC bindBuffer_ = nullptr;
    PFNGLBUFFERDATAPROC bufferData_ = nullptr;
    PFNGLMAPBUFFERPROC mapBuffer_ = nullptr;
    PFNGLUNMAPBUFFERPROC unmapBuffer_ = nullptr;
    PFNGLGETBUFFERSUBDATAPROC getBufferSubData_ = nullptr;
    GLuint buffers_[2] = {0, 0};
    int next_ = 0;     // the buffer the next start reads into
    int pending_ = -1;  // the buffer holding a frame started and not yet taken (0 for direct_
                        // without buffers); -1: none
    std::vector<uint8_t> direct_;  // the frame read at once when there are no buffer objects
};

}  // namespace capture
