// The content pack's costs: generating the whole pack (goal under 20 s on this machine, two
// cores), its parts (the soundtrack's synthesis, mastering, encoding and check), and the
// program's start-up on the pack (the content constructor: every texture with its mipmaps, both
// meshes including the archive member, the font; goal under 300 ms before the first frame).
//
//   <build>/bin/contentgen_benchmark --benchmark_filter=Generate     (no display needed)
//   xvfb-run -a -s "-screen 0 1280x1024x24" <build>/bin/contentgen_benchmark --benchmark_filter=Startup
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <GL/gl.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "Console.h"
#include "ContentPack.h"
#include "Loudness.h"
#include "Mastering.h"
#include "Soundtrack.h"
#include "Textures.h"
#include "content/DemoContent.h"
#include "platform/DrawingSurface.h"
#include "platform/GlSurface.h"

namespace {

void BM_GenerateWholePack(benchmark::State& state) {
    char pattern[] = "/tmp/contentgen-bench-XXXXXX";
    if (!mkdtemp(pattern)) {
        state.SkipWithError("no scratch directory");
        return;
    }
    contentgen::PackOptions options;
    options.outDir = pattern;
    contentgen::Console quiet(stdout, true);
    for (auto _ : state) contentgen::generatePack(options, quiet);
    std::error_code ignored;
    std::filesystem::remove_all(pattern, ignored);
}
BENCHMARK(BM_GenerateWholePack)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

void BM_GenerateTextures(benchmark::State& state) {
    for (auto _ : state)
        for (const contentgen::TextureSpec& spec : contentgen::textureSpecs())
            benchmark::DoNotOptimize(contentgen::makeTextureJpeg(spec));
}
BENCHMARK(BM_GenerateTextures)->Unit(benchmark::kSecond)->Iterations(1);

void BM_GenerateSoundtrackSynthesis(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(contentgen::renderSoundtrack(nullptr));
}
BENCHMARK(BM_GenerateSoundtrackSynthesis)->Unit(benchmark::kSecond)->Iterations(1);

void BM_GenerateSoundtrackEncoding(benchmark::State& state) {
    const contentgen::Soundtrack music = contentgen::renderSoundtrack(nullptr);
    for (auto _ : state) benchmark::DoNotOptimize(contentgen::encodeMp3(music.pcm, nullptr));
}
BENCHMARK(BM_GenerateSoundtrackEncoding)->Unit(benchmark::kSecond)->Iterations(1);

// Mastering: the loudness measurements and the true-peak limiter, twice (one master).
void BM_GenerateSoundtrackMastering(benchmark::State& state) {
    const std::vector<float> mix = contentgen::mixSoundtrack(nullptr);
    for (auto _ : state)
        benchmark::DoNotOptimize(contentgen::masterMix(mix, contentgen::kTargetLufs, contentgen::kMasterCeilingDbtp));
}
BENCHMARK(BM_GenerateSoundtrackMastering)->Unit(benchmark::kSecond)->Iterations(1);

// The check after encoding: decoding the MP3 and measuring loudness, range, true peak and the
// low end.
void BM_GenerateSoundtrackCheck(benchmark::State& state) {
    const std::vector<uint8_t> mp3 = contentgen::encodeMp3(contentgen::renderSoundtrack(nullptr).pcm, nullptr);
    for (auto _ : state) benchmark::DoNotOptimize(contentgen::measureLoudness(contentgen::decodeMp3(mp3)));
}
BENCHMARK(BM_GenerateSoundtrackCheck)->Unit(benchmark::kSecond)->Iterations(1);

// The content constructor on the pack the build generated into the run directory.
void BM_StartupOnPack(benchmark::State& state) {
    std::string error;
    auto surface = platform::GlSurface::create("start-up benchmark", 640, 480, false, &error);
    if (!surface) {
        state.SkipWithError(("no GL context: " + error).c_str());
        return;
    }
    if (chdir(VX_RUN_DIR) != 0 || access("blow.job", R_OK) != 0) {
        state.SkipWithError("no content pack in " VX_RUN_DIR " (build the content-pack target)");
        return;
    }
    platform::DrawingSurface window;
    window.width = 640;
    window.height = 480;
    window.glActiveTextureARB =
        reinterpret_cast<platform::DrawingSurface::ActiveTextureProc>(surface->procAddress("glActiveTextureARB"));
    for (auto _ : state) {
        content::DemoContent content(&window);
        glFinish();
    }
}
BENCHMARK(BM_StartupOnPack)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
