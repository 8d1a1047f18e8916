// Frame cost of the show: drawFrame plus present (glFinish, glFlush, buffer swap) at 640 x 480,
// at every 250 ms of music time from 0 to the end (1,007 frames), on the content pack in the run
// directory, on the faithful and on the fast render path in one run. Reports per path the median
// and 99th-percentile frame times, wall clock and process CPU time (all threads: llvmpipe
// rasterises on threads of its own), and each pass's share of the CPU time (a glFinish after each
// pass, so a pass's share includes the rasterising it caused), then both paths side by side, for
// the whole show and for each section of the timeline (content/Timeline.h: title, plain, each
// burst, swell, streaks, breakdown, credits, white-out, end fade), and each pass's CPU time per
// frame by section. On a shared machine the CPU figures are the steadier ones.
//
//   xvfb-run -a -s "-screen 0 1280x1024x24" <build>/bin/content_frame_benchmark [run dir]
// VX_FRAME_STEP_MS=<ms> samples the timeline more coarsely for a quick comparison;
// VX_FRAME_FROM_MS and VX_FRAME_TO_MS keep the frames of music time from <= ms < to (a section
// or two, to see what a change did there); --benchmark_filter=fast (or faithful) runs one path only.
#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/FrameStatistics.h"
#include "content/DemoContent.h"
#include "content/RenderPath.h"
#include "content/Timeline.h"
#include "platform/DrawingSurface.h"
#include "platform/GlSurface.h"
#include "platform/ProcessMemory.h"

namespace {

constexpr int kShowEndMs = 251586;

// A positive whole number from the environment, else `otherwise`.
int fromEnvironment(const char* name, int otherwise) {
    const char* env = std::getenv(name);
    const int value = env ? std::atoi(env) : 0;
    return value > 0 ? value : otherwise;
}
const int kStepMs = fromEnvironment("VX_FRAME_STEP_MS", 250);
const int kFromMs = std::min(fromEnvironment("VX_FRAME_FROM_MS", 0), kShowEndMs);
const int kToMs = std::min(fromEnvironment("VX_FRAME_TO_MS", kShowEndMs + 1), kShowEndMs + 1);
// The frames at kFromMs + n kStepMs before kToMs; at least one.
const int kFrames = std::max((kToMs - kFromMs + kStepMs - 1) / kStepMs, 1);

using Clock = std::chrono::steady_clock;

// CPU time of the whole process, every thread, in seconds.
double processCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

std::string runDir = VX_RUN_DIR;

using app::percentile;

const char* const kPassNames[] = {"scenes", "glow_chain", "band", "lens_warp", "titles", "present"};

// Each path's figures, for the side-by-side table at the end.
struct PathFigures {
    double median, p99, cpuMedian, cpuP99;
    std::array<double, 6> shares;
    // Frame times and CPU times (ms) by section of the timeline.
    std::array<std::vector<double>, content::kShowSectionCount> sectionMs, sectionCpuMs;
    // Each pass's CPU time (ms, summed over the section's frames) by section.
    std::array<std::array<double, 6>, content::kShowSectionCount> sectionPassCpuMs;
};
std::map<std::string, PathFigures> figures;

void BM_WholeShowFrames(benchmark::State& state, content::RenderPath path) {
    std::string error;
    auto surface = platform::GlSurface::create("frame benchmark", 640, 480, false, &error);
    if (!surface) {
        state.SkipWithError(("no GL context: " + error).c_str());
        return;
    }
    if (chdir(runDir.c_str()) != 0 || access("data/valo4.jpg", R_OK) != 0) {
        state.SkipWithError(("no content pack in " + runDir + " (build the content-pack target)").c_str());
        return;
    }
    platform::DrawingSurface window;
    window.width = 640;
    window.height = 480;
    window.glActiveTextureARB = reinterpret_cast<platform::DrawingSurface::ActiveTextureProc>(
        surface->procAddress("glActiveTextureARB"));
    content::DemoContent content(&window, path);

    std::array<double, 6> passCpu{};  // passes 1..5, then the present
    std::array<std::array<double, 6>, content::kShowSectionCount> sectionPassCpuMs{};
    int section = 0;
    double mark = 0;
    const auto passEnds = [&](int pass) {
        const double now = processCpuSeconds();
        passCpu[pass - 1] += now - mark;
        sectionPassCpuMs[section][pass - 1] += (now - mark) * 1000.0;
        mark = now;
    };
    content.passDone = [&](int pass) {
        glFinish();
        passEnds(pass);
    };

    std::vector<double> frameMs, frameCpuMs;
    std::array<std::vector<double>, content::kShowSectionCount> sectionMs, sectionCpuMs;
    int frame = 0;
    for (auto _ : state) {
        const int ms = kFromMs + (frame++ % kFrames) * kStepMs;
        section = content::showSectionAt(content::sceneTime(ms));
        const Clock::time_point start = Clock::now();
        const double cpuStart = processCpuSeconds();
        mark = cpuStart;
        glDepthMask(GL_TRUE);
        content.drawFrame(ms);
        glFinish();
        glFlush();
        surface->swapBuffers();
        const Clock::time_point end = Clock::now();
        const double cpuEnd = processCpuSeconds();
        passEnds(6);
        const double seconds = std::chrono::duration<double>(end - start).count();
        state.SetIterationTime(seconds);
        frameMs.push_back(seconds * 1000.0);
        sectionMs[section].push_back(seconds * 1000.0);
        sectionCpuMs[section].push_back((cpuEnd - cpuStart) * 1000.0);
        frameCpuMs.push_back((cpuEnd - cpuStart) * 1000.0);
    }

    double total = 0;
    for (double s : passCpu) total += s;
    PathFigures f{percentile(frameMs, 0.5), percentile(frameMs, 0.99), percentile(frameCpuMs, 0.5),
                  percentile(frameCpuMs, 0.99), {}, std::move(sectionMs),
                  std::move(sectionCpuMs), sectionPassCpuMs};
    state.counters["median_ms"] = f.median;
    state.counters["p99_ms"] = f.p99;
    state.counters["max_ms"] = percentile(frameMs, 1.0);
    state.counters["cpu_median_ms"] = f.cpuMedian;
    state.counters["cpu_p99_ms"] = f.cpuP99;
    for (int k = 0; k < 6; ++k) {
        f.shares[k] = passCpu[k] / total;
        state.counters[std::string("share_") + kPassNames[k]] = f.shares[k];
    }
    figures[content::renderPathName(path)] = f;
}
BENCHMARK_CAPTURE(BM_WholeShowFrames, faithful, content::RenderPath::Faithful)
    ->Iterations(kFrames)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WholeShowFrames, fast, content::RenderPath::Fast)
    ->Iterations(kFrames)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The paths that ran, side by side (ms per frame; shares of the CPU time in percent).
void printSideBySide() {
    if (figures.empty()) return;
    std::printf("\n%-22s", "render path");
    for (const auto& [name, f] : figures) std::printf(" %10s", name.c_str());
    std::printf("\n");
    auto row = [](const char* label, auto value) {
        std::printf("%-22s", label);
        for (const auto& entry : figures) std::printf(" %10.1f", value(entry.second));
        std::printf("\n");
    };
    row("median ms", [](const PathFigures& f) { return f.median; });
    row("p99 ms", [](const PathFigures& f) { return f.p99; });
    row("fps at the median", [](const PathFigures& f) { return 1000.0 / f.median; });
    row("CPU median ms", [](const PathFigures& f) { return f.cpuMedian; });
    row("CPU p99 ms", [](const PathFigures& f) { return f.cpuP99; });
    for (int k = 0; k < 6; ++k) {
        const std::string label = std::string("share ") + kPassNames[k] + " %";
        row(label.c_str(), [k](const PathFigures& f) { return 100.0 * f.shares[k]; });
    }
    const auto faithful = figures.find("faithful"), fast = figures.find("fast");
    if (faithful != figures.end() && fast != figures.end()) {
        std::printf("fast path: %.2fx the faithful frame rate at the median, %.2fx at p99\n",
                    faithful->second.median / fast->second.median, faithful->second.p99 / fast->second.p99);
    }
}

// Median and p99 frame times (ms; wall clock, or CPU time with cpu set) of each section of the
// timeline, the paths side by side, and the fast path's speed-up over the faithful one when both
// ran.
using SectionTimes = std::array<std::vector<double>, content::kShowSectionCount> PathFigures::*;
void printSections(const char* title, SectionTimes times) {
    if (figures.empty()) return;
    const auto faithful = figures.find("faithful"), fast = figures.find("fast");
    const bool both = faithful != figures.end() && fast != figures.end();
    std::printf("\n%s by section\n%-10s %14s %6s", title, "section", "t (beats)", "frames");
    for (const auto& entry : figures) std::printf(" %9s med %5s p99", entry.first.c_str(), "");
    if (both) std::printf("   speed-up med   p99");
    std::printf("\n");
    for (int k = 0; k < content::kShowSectionCount; ++k) {
        const content::ShowSection& section = content::showSections()[k];
        char window[32];
        std::snprintf(window, sizeof window, "%g..%g", section.from, section.to);
        std::printf("%-10s %14s %6zu", section.name, window, (figures.begin()->second.*times)[k].size());
        for (const auto& entry : figures) {
            const std::vector<double>& ms = (entry.second.*times)[k];
            std::printf(" %13.1f %9.1f", percentile(ms, 0.5), percentile(ms, 0.99));
        }
        if (both) {
            const std::vector<double>& slow = (faithful->second.*times)[k];
            const std::vector<double>& quick = (fast->second.*times)[k];
            if (!quick.empty())
                std::printf("   %11.2fx %5.2fx", percentile(slow, 0.5) / percentile(quick, 0.5),
                            percentile(slow, 0.99) / percentile(quick, 0.99));
        }
        std::printf("\n");
    }
}

// Each path's mean CPU time per frame (ms, all threads) of every pass, by section: where a
// section's time goes.
void printSectionPasses() {
    for (const auto& [name, f] : figures) {
        std::printf("\nCPU time per frame by pass (ms, all threads), %s path\n%-10s %6s", name.c_str(), "section",
                    "frames");
        for (const char* pass : kPassNames) std::printf(" %10s", pass);
        std::printf("\n");
        for (int k = 0; k < content::kShowSectionCount; ++k) {
            const std::size_t frames = f.sectionCpuMs[k].size();
            if (frames == 0) continue;
            std::printf("%-10s %6zu", content::showSections()[k].name, frames);
            for (double ms : f.sectionPassCpuMs[k]) std::printf(" %10.2f", ms / static_cast<double>(frames));
            std::printf("\n");
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    platform::keepFreedBlocksForReuse();  // as the show does
    if (argc > 1) runDir = argv[1];
    // Each path enters the run directory in turn: a relative one must not be taken twice.
    if (char* absolute = realpath(runDir.c_str(), nullptr)) {
        runDir = absolute;
        std::free(absolute);
    }
    benchmark::RunSpecifiedBenchmarks();
    printSideBySide();
    printSections("frame time (ms)", &PathFigures::sectionMs);
    printSections("CPU time per frame (ms, all threads)", &PathFigures::sectionCpuMs);
    printSectionPasses();
    benchmark::Shutdown();
    return 0;
}
