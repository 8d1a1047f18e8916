#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "music/AudioLibrary.h"
#include "music/Mp3Stream.h"

namespace {

const std::string soundtrack = std::string(VX_RUN_DIR) + "/data/Vorthalimex.mp3";

// A device that never runs: the benchmark calls the mixer itself.
class IdleDevice : public platform::AudioDevice {
public:
    bool open(int, Callback) override { return true; }
    void resume() override {}
    void pause() override {}
    void close() override {}
    std::string lastError() const override { return {}; }
};

void BM_OpenAndIndexSoundtrack(benchmark::State& state) {
    for (auto _ : state) {
        auto stream = music::Mp3Stream::open(soundtrack);
        if (!stream) {
            state.SkipWithError("no soundtrack: build the content pack first");
            return;
        }
        benchmark::DoNotOptimize(stream->length());
    }
}
BENCHMARK(BM_OpenAndIndexSoundtrack)->Unit(benchmark::kMillisecond);

struct Playing {
    music::AudioLibrary library{std::make_unique<IdleDevice>()};
    music::StreamHandle stream = 0;
    Playing() {
        library.init(44100);
        stream = library.streamCreateFile(soundtrack);
        library.start();
        library.streamPlay(stream);
    }
};

// One callback's worth: 1,024 frames (23 ms of sound), decoded and mixed.
void BM_MixOneDeviceBuffer(benchmark::State& state) {
    Playing playing;
    if (!playing.stream) {
        state.SkipWithError("no soundtrack: build the content pack first");
        return;
    }
    std::vector<std::uint8_t> buffer(1024 * 4);
    std::int64_t mixed = 0;
    for (auto _ : state) {
        playing.library.mix(buffer.data(), static_cast<int>(buffer.size()));
        if (++mixed % 8000 == 0) playing.library.channelSetPosition(playing.stream, 0);  // stay in the music
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetItemsProcessed(state.iterations() * 1024);
}
BENCHMARK(BM_MixOneDeviceBuffer)->Unit(benchmark::kMicrosecond);

// A seek key: to a random place in the first four minutes, sample-exact.
void BM_ExactSeek(benchmark::State& state) {
    Playing playing;
    if (!playing.stream) {
        state.SkipWithError("no soundtrack: build the content pack first");
        return;
    }
    std::mt19937 random(608);
    std::uniform_int_distribution<std::int64_t> ms(0, 240000);
    for (auto _ : state) benchmark::DoNotOptimize(playing.library.channelSetPosition(playing.stream, ms(random) * 1764 / 10));
}
BENCHMARK(BM_ExactSeek)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
