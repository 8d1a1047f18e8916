#pragma once
// The capture's output side on a thread of its own: frames read back (BGRA, rows from the bottom
// up) are turned into RGB pictures, handed to the video encoder and written as stills there,
// in the order they were queued, while the GL draws the next frames. Nothing is allocated per
// frame once the capture runs: the picture is made in one buffer kept by the thread, and the
// frames' byte buffers come back (recycled) to be read into again.
#include "PngWriter.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace capture {

class VideoEncoder;

struct FrameJob {
    std::vector<uint8_t> bgra;          // width * height * 4 bytes, rows from the bottom up
    int64_t videoFrame = -1;            // the frame's index in the video; -1: not in the video
    std::vector<std::string> stillPaths;  // PNG files to write from the frame
};

class FrameWriter {
public:
    // encoder may be null when no frame goes to a video. At most maxQueuedBytes of frames wait
    // (at least one frame), so that a slow encoder holds the drawing back instead of filling
    // the memory.
    FrameWriter(VideoEncoder* encoder, int width, int height, size_t maxQueuedBytes = 64u << 20);
    // Writes what is queued, then ends the thread.
    ~FrameWriter();
    FrameWriter(const FrameWriter&) = delete;
    FrameWriter& operator=(const FrameWriter&) = delete;

    // Queues a frame; blocks while the queue is full. False (the frame dropped) once a write
    // has failed: nothing more is written after a failure.
    bool push(FrameJob job);
    // Waits until every queued frame is written (or a write failed). False with the reason in
    // *error after a failure: "the video stopped at frame N: ..." or the still's reason.
    bool drain(std::string* error);
    // Set once a write failed (read without waiting, to stop drawing early).
    bool failed();

    // What was written so far (complete after drain).
    int64_t videoFrames();
    std::vector<std::string> stillsWritten();

    // The byte buffer of a frame already written, to read the next frame into (its size and
    // contents as that frame left them), or an empty vector when none has come back. At most
    // the queue's frames and two more are kept for this.
    std::vector<uint8_t> recycled();

private:
    void run();

    VideoEncoder* encoder_;
    int width_, height_;
    size_t maxQueued_;  // frames
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<FrameJob> queue_;
    bool busy_ = false;      // the thread holds a frame taken from the queue
    bool stopping_ = false;
    std::string error_;      // the first failure
    int64_t videoFrames_ = 0;
    std::vector<std::string> written_;
    std::vector<std::vector<uint8_t>> spare_;  // frames' buffers written and not yet recycled
    RgbImage image_;         // the picture of the frame being written (the thread's own)
    std::thread thread_;     // last: starts once everything above is made
};

}  // namespace capture
