// Frame cost of the show: drawFrame plus present (glFinish, glFlush, buffer swap) at 640 x 480,
// at every 250 ms of music time from 0 to the end (1,007 frames), on the content pack in the run
// directory. Reports the median and 99th-percentile frame times, wall clock and process CPU time
// (all threads: llvmpipe rasterises on threads of its own), and each pass's share of the CPU
// time (a glFinish after each pass, so a pass's share includes the rasterising it caused). On a
// shared machine the CPU figures are the steadier ones.
//
//   xvfb-run -a -s "-screen 0 1280x1024x24" <build>/bin/content_frame_benchmark [run dir]
// VX_FRAME_STEP_MS=<ms> samples the timeline more coarsely for a quick comparison.
#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/GlWindow.h"
#include "content/DemoContent.h"
#include "platform/GlSurface.h"

namespace {

constexpr int kShowEndMs = 251586;

int stepMs() {
    const char* env = std::getenv("VX_FRAME_STEP_MS");
    const int step = env ? std::atoi(env) : 0;
    return step > 0 ? step : 250;
}
const int kStepMs = stepMs();
const int kFrames = kShowEndMs / kStepMs + 1;

using Clock = std::chrono::steady_clock;

// CPU time of the whole process, every thread, in seconds.
double processCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

std::string runDir = VX_RUN_DIR;

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    const auto k = static_cast<std::size_t>(p * (v.size() - 1) + 0.5);
    return v[k];
}

void BM_WholeShowFrames(benchmark::State& state) {
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
    app::GlWindow window;
    window.width = 640;
    window.height = 480;
    window.glActiveTextureARB = reinterpret_cast<app::GlWindow::ActiveTextureProc>(
        surface->procAddress("glActiveTextureARB"));
    content::DemoContent content(&window);

    std::array<double, 6> passCpu{};  // passes 1..5, then the present
    double mark = 0;
    content.passDone = [&](int pass) {
        glFinish();
        const double now = processCpuSeconds();
        passCpu[pass - 1] += now - mark;
        mark = now;
    };

    std::vector<double> frameMs, frameCpuMs;
    int frame = 0;
    for (auto _ : state) {
        const int ms = (frame++ % kFrames) * kStepMs;
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
        passCpu[5] += cpuEnd - mark;
        const double seconds = std::chrono::duration<double>(end - start).count();
        state.SetIterationTime(seconds);
        frameMs.push_back(seconds * 1000.0);
        frameCpuMs.push_back((cpuEnd - cpuStart) * 1000.0);
    }

    double total = 0;
    for (double s : passCpu) total += s;
    state.counters["median_ms"] = percentile(frameMs, 0.5);
    state.counters["p99_ms"] = percentile(frameMs, 0.99);
    state.counters["max_ms"] = percentile(frameMs, 1.0);
    state.counters["cpu_median_ms"] = percentile(frameCpuMs, 0.5);
    state.counters["cpu_p99_ms"] = percentile(frameCpuMs, 0.99);
    const char* names[] = {"scenes", "glow_chain", "band", "lens_warp", "titles", "present"};
    for (int k = 0; k < 6; ++k) state.counters[std::string("share_") + names[k]] = passCpu[k] / total;
}
BENCHMARK(BM_WholeShowFrames)->Iterations(kFrames)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (argc > 1) runDir = argv[1];
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
