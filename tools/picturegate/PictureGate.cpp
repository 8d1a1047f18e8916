#include "PictureGate.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>

#include "FrameReadback.h"
#include "app/FatalError.h"
#include "app/GlWindow.h"
#include "content/DemoContent.h"
#include "content/Timeline.h"

namespace picturegate {

const std::vector<GateFrame>& gateFrames() {
    static const std::vector<GateFrame> frames = {
        {"title-inset", 64.0f, 640, 480},    // narrow title picture, logo at full alpha
        {"title-widening", 128.0f, 640, 480},
        {"plain", 200.0f, 640, 480},
        {"first-burst", 259.0f, 640, 480},   // G 0.75 at its peak
        {"second-burst", 321.0f, 640, 480},  // G 2 at its peak: streaks, mirrored scene
        {"swell-peak", 352.0f, 640, 480},
        {"swell-streaks", 368.0f, 640, 480}, // S2 at its peak
        {"third-burst", 422.0f, 640, 480},
        {"breakdown", 452.0f, 640, 480},     // the swell gone, the logo returning
        {"credits", 512.0f, 640, 480},
        {"white-out", 560.0f, 640, 480},
        {"end-fade", 600.0f, 640, 480},
        {"band-1280-plain", 200.0f, 1280, 960},
        {"band-1280-swell", 352.0f, 1280, 960},
    };
    return frames;
}

std::vector<GateFrame> quickGateFrames() {
    std::vector<GateFrame> quick;
    for (const GateFrame& f : gateFrames()) {
        if (f.name == "title-inset" || f.name == "second-burst" || f.name == "white-out" ||
            f.name == "band-1280-swell")
            quick.push_back(f);
    }
    return quick;
}

int msAtSceneTime(float t) {
    int ms = static_cast<int>(std::floor((t + 1.0) * 60000.0 / 145.0)) - 2;
    while (content::sceneTime(ms) < t) ++ms;
    return ms;
}

FrameDifference compareImages(const capture::RgbImage& reference, const capture::RgbImage& candidate) {
    FrameDifference d;
    d.pixels = static_cast<std::int64_t>(reference.width) * reference.height;
    const std::size_t bytes = static_cast<std::size_t>(d.pixels) * 3;
    if (reference.width != candidate.width || reference.height != candidate.height ||
        reference.pixels.size() != bytes || candidate.pixels.size() != bytes) {
        d.maxLevel = 255;
        d.overOne = d.overTwo = d.pixels;
        d.psnr = 0;
        return d;
    }
    double squares = 0;
    for (std::size_t i = 0; i < bytes; i += 3) {
        int worst = 0;
        for (std::size_t c = 0; c < 3; ++c) {
            const int diff = std::abs(int(reference.pixels[i + c]) - int(candidate.pixels[i + c]));
            squares += double(diff) * diff;
            if (diff > worst) worst = diff;
        }
        if (worst > d.maxLevel) d.maxLevel = worst;
        if (worst > 1) ++d.overOne;
        if (worst > 2) ++d.overTwo;
    }
    const double mse = bytes ? squares / double(bytes) : 0;
    d.psnr = mse > 0 ? 10.0 * std::log10(255.0 * 255.0 / mse) : std::numeric_limits<double>::infinity();
    return d;
}

bool passes(const FrameDifference& difference) {
    return difference.maxLevel <= kMaxLevelDifference &&
           double(difference.overOne) <= kMaxShareOverOne * double(difference.pixels);
}

bool comparePngFiles(const std::string& reference, const std::string& candidate, FrameDifference* difference,
                     std::string* error) {
    capture::RgbImage first, second;
    if (!capture::readPng(reference, &first, error) || !capture::readPng(candidate, &second, error)) return false;
    *difference = compareImages(first, second);
    return true;
}

namespace {

// Frames of one window size drawn by one content.
bool renderAtSize(const std::vector<GateFrame>& frames, int width, int height, content::RenderPath path,
                  std::vector<capture::RgbImage>* images, std::string* error,
                  const std::function<void(const GateFrame&)>& progress) {
    std::vector<std::string> reports;
    const app::FatalErrorHandler previous =
        app::setFatalErrorHandler([&reports](const std::string& text) { reports.push_back(text); });
    struct Restore {
        app::FatalErrorHandler handler;
        ~Restore() { app::setFatalErrorHandler(handler); }
    } restore{previous};

    app::GlWindow window;
    if (!window.create(width, height, false)) {
        *error = "cannot open a " + std::to_string(width) + "x" + std::to_string(height) +
                 " window (is there an X display? xvfb-run -a provides one)" +
                 (reports.empty() ? "" : ": " + reports.front());
        return false;
    }
    window.pumpMessages();
    if (window.width != width || window.height != height) window.setViewport(width, height);
    auto content = std::make_unique<content::DemoContent>(&window, path);
    if (!reports.empty()) {
        *error = "the content did not load: " + reports.front() + " (is the run directory the one with data/?)";
        return false;
    }
    for (std::size_t k = 0; k < frames.size(); ++k) {
        const GateFrame& frame = frames[k];
        if (frame.width != width || frame.height != height) continue;
        glDepthMask(GL_TRUE);  // as the main loop does before every frame
        content->drawFrame(msAtSceneTime(frame.t));
        (*images)[k] = capture::readFrame(width, height);
        window.present();
        window.pumpMessages();
        if (window.width != width || window.height != height) window.setViewport(width, height);
        if (progress) progress(frame);
    }
    content.reset();
    window.destroy();
    return true;
}

}  // namespace

bool renderFrames(const std::vector<GateFrame>& frames, content::RenderPath path,
                  std::vector<capture::RgbImage>* images, std::string* error,
                  const std::function<void(const GateFrame&)>& progress) {
    images->assign(frames.size(), capture::RgbImage{});
    std::vector<std::pair<int, int>> sizes;
    for (const GateFrame& f : frames) {
        const std::pair<int, int> size{f.width, f.height};
        bool seen = false;
        for (const auto& s : sizes) seen = seen || s == size;
        if (!seen) sizes.push_back(size);
    }
    for (const auto& [width, height] : sizes) {
        if (!renderAtSize(frames, width, height, path, images, error, progress)) return false;
    }
    return true;
}

}  // namespace picturegate
