// vorthalimex-capture: renders the show offline at a fixed frame rate into an MP4 video with its
// soundtrack and/or PNG stills, on the same window, content and frame composer as the live show.
// The window is an off-screen one (SDL's off-screen driver on Mesa's EGL): no display is needed,
// and nothing that happens to one (xvfb-run kills its X server on Ctrl+C) can end the capture.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CaptureOptions.h"
#include "FrameReadback.h"
#include "FrameTiming.h"
#include "FrameWriter.h"
#include "OutputFiles.h"
#include "VideoEncoder.h"
#include "app/ContentSearch.h"
#include "app/GlWindow.h"
#include "app/Progress.h"
#include "content/DemoContent.h"
#include "content/RenderPath.h"
#include "platform/FatalError.h"
#include "platform/ProcessMemory.h"
#include "platform/WindowSystem.h"

namespace {

const char* const kProgram = "vorthalimex-capture";
const char* const kSoundtrack = "data/Vorthalimex.mp3";
constexpr int kEscapeKey = 27;

volatile std::sig_atomic_t interrupted = 0;
void onInterrupt(int) { interrupted = 1; }

int fail(const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", kProgram, text.c_str());
    return 1;
}

double now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Everything that can be checked before the window opens, so that a long capture never fails at
// its end: the output files, ffmpeg, the time range, the run directory and the soundtrack. Makes
// the output paths absolute and enters the run directory.
bool prepare(capture::CaptureOptions& options, const capture::FramePlan& plan, std::string* error) {
    using namespace capture;
    const bool video = !options.output.empty();
    std::vector<std::string> outputs;
    if (video) outputs.push_back(options.output = absolutePath(options.output));
    for (auto& s : options.stills) outputs.push_back(s.path = absolutePath(s.path));
    if (!checkDistinctPaths(outputs, error)) return false;
    for (const auto& path : outputs)
        if (!checkOutputPath(path, options.overwrite, error)) return false;
    if (video && findProgram("ffmpeg").empty()) {
        *error = missingFfmpegMessage();
        return false;
    }
    if (video && plan.frameCount == 0) {
        *error = "no frame at " + std::to_string(options.fps) + " fps falls between " +
                 std::to_string(options.fromMs) + " and " + std::to_string(options.toMs) + " ms";
        return false;
    }
    if (options.runDir.empty()) {
        // As the program does: the current directory when it holds the content, else the tool's
        // own folder or beside it (the build's run directory, or the installed data folder).
        const std::vector<app::ContentPlace> places = app::contentPlacesOfThisProcess();
        const std::optional<std::string> found = app::findContent(places);
        if (!found) {
            *error = app::missingContentMessage(places) + "Or name the folder that holds it with --run-dir.";
            return false;
        }
        options.runDir = *found;
    }
    if (chdir(options.runDir.c_str()) != 0) {
        *error = "cannot enter the run directory " + options.runDir;
        return false;
    }
    struct stat st;
    if (video && stat(kSoundtrack, &st) != 0) {
        *error = "the soundtrack " + options.runDir + "/" + kSoundtrack +
                 " is missing (generate the content pack, or give --run-dir)";
        return false;
    }
    return true;
}

int runCapture(capture::CaptureOptions options) {
    using namespace capture;
    bool video = !options.output.empty();
    const FramePlan plan = planFrames(options.fps, options.fromMs, options.toMs);
    std::string error;
    if (!prepare(options, plan, &error)) return fail(error);
    platform::keepFreedBlocksForReuse();

    // The show's own fatal reports would put up a box and carry on; a capture stops instead.
    std::vector<std::string> contentErrors;
    platform::setFatalErrorHandler([&contentErrors](const std::string& text) { contentErrors.push_back(text); });
    auto printContentErrors = [&]() {
        for (const auto& text : contentErrors) std::fprintf(stderr, "%s: %s\n", kProgram, text.c_str());
    };
    auto reportContentErrors = [&]() {
        printContentErrors();
        return fail("the show did not load or draw cleanly (is --run-dir the directory with data/ and blow.job?)");
    };

    // Ctrl+C from here on stops the capture between two frames, keeping what is done.
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    auto stoppedBeforeTheFirstFrame = [&]() {
        std::fprintf(stderr, "stopped before the first frame: nothing written\n");
        return 130;
    };

    // The show's window, as a window (never full screen) of the capture's size, off-screen.
    app::GlWindow window;
    if (!window.create(platform::createOffscreenWindowSystem(), options.width, options.height, false)) {
        printContentErrors();
        return fail("cannot make an off-screen OpenGL context (Mesa's EGL: the Debian packages libegl1 and "
                    "libegl-mesa0)");
    }
    // A window manager may count its frame in or resize the window; the capture draws at the
    // size asked, whatever the window events said.
    auto pumpAndKeepSize = [&]() {
        window.pumpMessages();
        if (window.width != options.width || window.height != options.height)
            window.setViewport(options.width, options.height);
    };
    pumpAndKeepSize();
    std::optional<content::RenderPath> requestedPath;
    if (options.faithful) requestedPath = content::RenderPath::Faithful;
    content::DemoContent content(&window, content::renderPathAtStartUp(requestedPath, kProgram));
    if (!contentErrors.empty()) return reportContentErrors();
    if (interrupted) return stoppedBeforeTheFirstFrame();

    VideoEncoder encoder;
    if (video) {
        VideoSettings settings;
        settings.output = options.output;
        settings.soundtrack = kSoundtrack;
        settings.soundtrackStart = plan.soundtrackSeconds(0);
        settings.duration = plan.durationSeconds();
        settings.width = options.width;
        settings.height = options.height;
        settings.fps = options.fps;
        if (!encoder.start(settings, &error)) return fail(error);
    }

    std::vector<int> stillTimes;
    for (const auto& s : options.stills) stillTimes.push_back(s.ms);
    FramePlan videoPlan = plan;
    if (!video) videoPlan.frameCount = 0;
    const std::vector<DrawStep> draws = planDraws(videoPlan, stillTimes);
    const bool terminal = isatty(STDERR_FILENO);
    std::fprintf(stderr, "drawing %zu frame(s) at %dx%d on the %s path; Ctrl+C stops early and keeps what is done\n",
                 draws.size(), options.width, options.height, content::renderPathName(content.renderPath));
    app::Progress progress(static_cast<int64_t>(draws.size()), now());
    bool stopped = false;
    // Frame n is read back while frame n + 1 draws, and turned into the video and the stills on
    // the writer's thread meanwhile.
    platform::WindowSystem* system = window.windowSystem();
    PipelinedReader reader(options.width, options.height,
                           [system](const char* name) { return system->procAddress(name); });
    FrameWriter writer(video ? &encoder : nullptr, options.width, options.height);
    FrameJob pending;  // the frame being read back
    // The frame's bytes go to the writer; a buffer the writer is done with comes back in their
    // place, for the next frame to be read into.
    auto handOver = [&](std::vector<uint8_t>* bytes) {
        pending.bgra.swap(*bytes);
        const bool queued = writer.push(std::move(pending));
        *bytes = writer.recycled();
        return queued;
    };
    std::vector<uint8_t> bytes;
    const double loopStart = now();
    for (const DrawStep& draw : draws) {
        pumpAndKeepSize();
        if (interrupted || window.quitRequested || window.keys[kEscapeKey] || writer.failed()) {
            stopped = true;
            break;
        }
        glDepthMask(GL_TRUE);  // as the live loop: every frame starts with depth writes on
        content.drawFrame(draw.ms);
        const bool previous = reader.start(&bytes);
        window.present();
        if (previous && !handOver(&bytes)) break;
        pending = FrameJob{};
        pending.videoFrame = draw.videoFrame;
        for (size_t still : draw.stills) pending.stillPaths.push_back(options.stills[still].path);
        progress.frameDone(draw.ms, now());
        if (progress.due(now(), terminal ? 0.25 : 10.0))
            std::fprintf(stderr, terminal ? "\r%s\033[K" : "%s\n", progress.line().c_str());
    }
    if (reader.take(&bytes)) handOver(&bytes);
    const bool writesDone = writer.drain(&error);
    const double elapsed = now() - loopStart;
    std::fprintf(stderr, terminal ? "\r%s\033[K\n" : "%s\n", progress.line().c_str());
    if (!writesDone) {
        std::string ignored;
        encoder.finish(&ignored);
        return fail(error);
    }
    const int64_t videoFrames = writer.videoFrames();
    std::vector<std::string> written = writer.stillsWritten();
    if (!contentErrors.empty()) return reportContentErrors();

    if (stopped && video && videoFrames == 0) {
        // Stopped before the video's first frame: there is no video to keep.
        encoder.finish(&error);
        unlink(options.output.c_str());
        if (written.empty()) return stoppedBeforeTheFirstFrame();
        video = false;
    }
    if (video) {
        if (!encoder.finish(&error)) return fail("the video was not finished: " + error);
        std::fprintf(stderr, "%s %lld frames in %.2f s (%.1f fps, %.2fx real time)\n",
                     stopped ? "stopped after" : "captured", static_cast<long long>(videoFrames), elapsed,
                     elapsed > 0 ? videoFrames / elapsed : 0.0,
                     elapsed > 0 ? static_cast<double>(videoFrames) / options.fps / elapsed : 0.0);
        written.insert(written.begin(), options.output);
    }
    for (const auto& path : written) std::fprintf(stderr, "wrote %s\n", path.c_str());
    if (stopped) {
        const size_t missing = options.stills.size() - (written.size() - (video ? 1 : 0));
        std::fprintf(stderr, "stopped early%s\n",
                     missing ? (": " + std::to_string(missing) + " still(s) not written").c_str() : "");
    }
    return stopped ? 130 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    capture::CaptureOptions options;
    std::string error;
    if (!capture::parseCaptureOptions(args, &options, &error)) {
        std::fprintf(stderr, "%s: %s (see --help)\n", kProgram, error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(capture::captureUsage(kProgram).c_str(), stdout);
        return 0;
    }
    return runCapture(options);
}
