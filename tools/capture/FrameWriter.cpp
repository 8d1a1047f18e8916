#include "FrameWriter.h"

#include <algorithm>

#include "FrameReadback.h"
#include "PngWriter.h"
#include "VideoEncoder.h"

namespace capture {

FrameWriter::FrameWriter(VideoEncoder* encoder, int width, int height, size_t maxQueuedBytes)
    : encoder_(encoder),
      width_(width),
      height_(height),
      maxQueued_(std::max<size_t>(1, maxQueuedBytes / (static_cast<size_t>(width) * height * 4))),
      thread_([this] { run(); }) {}

FrameWriter::~FrameWriter() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

bool FrameWriter::push(FrameJob job) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return queue_.size() < maxQueued_ || !error_.empty(); });
    if (!error_.empty()) return false;
    queue_.push_back(std::move(job));
    changed_.notify_all();
    return true;
}

bool FrameWriter::drain(std::string* error) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return (queue_.empty() && !busy_) || !error_.empty(); });
    if (error_.empty()) return true;
    *error = error_;
    return false;
}

bool FrameWriter::failed() {
    std::lock_guard<std::mutex> lock(mutex_);
    return !error_.empty();
}

int64_t FrameWriter::videoFrames() {
    std::lock_guard<std::mutex> lock(mutex_);
    return videoFrames_;
}

std::vector<std::string> FrameWriter::stillsWritten() {
    std::lock_guard<std::mutex> lock(mutex_);
    return written_;
}

std::vector<uint8_t> FrameWriter::recycled() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<uint8_t> bytes;
    if (!spare_.empty()) {
        bytes = std::move(spare_.back());
        spare_.pop_back();
    }
    return bytes;
}

void FrameWriter::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return !queue_.empty() || stopping_; });
        if (queue_.empty() || !error_.empty()) {
            if (stopping_) return;
            queue_.clear();
            changed_.notify_all();
            continue;
        }
        FrameJob job = std::move(queue_.front());
        queue_.pop_front();
        busy_ = true;
        changed_.notify_all();
        lock.unlock();

        // Outside the lock: the drawing goes on meanwhile.
        const size_t pixels = static_cast<size_t>(width_) * height_;
        std::string error;
        bool ok = job.bgra.size() == pixels * 4;
        if (!ok) {
            error = "a frame of " + std::to_string(job.bgra.size()) + " bytes, not the " +
                    std::to_string(pixels * 4) + " of " + std::to_string(width_) + "x" + std::to_string(height_);
        } else {
            image_.width = width_;
            image_.height = height_;
            image_.pixels.resize(pixels * 3);
            bgraBottomUpToRgb(job.bgra.data(), width_, height_, image_.pixels.data());
        }
        if (ok && job.videoFrame >= 0 && encoder_) {
            ok = encoder_->writeFrame(image_.pixels.data(), image_.pixels.size(), &error);
            if (!ok) error = "the video stopped at frame " + std::to_string(job.videoFrame) + ": " + error;
        }
        std::vector<std::string> stills;
        for (size_t k = 0; ok && k < job.stillPaths.size(); ++k) {
            ok = writePng(job.stillPaths[k], image_, &error);
            if (ok) stills.push_back(job.stillPaths[k]);
        }

        lock.lock();
        busy_ = false;
        if (ok && job.videoFrame >= 0) ++videoFrames_;
        written_.insert(written_.end(), stills.begin(), stills.end());
        if (!ok && error_.empty()) error_ = error;
        // Frames in flight: the queue's, the one written here, the one being read back and the
        // one the reader holds; more never come back at once.
        if (spare_.size() < maxQueued_ + 2) spare_.push_back(std::move(job.bgra));
        changed_.notify_all();
    }
}

}  // namespace capture
