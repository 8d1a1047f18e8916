// extractMember on large archives held in memory: the whole path a member takes (block scan,
// deciphering, decompression, delivery, CRC-32). Throughput counts content bytes produced.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>

#include "ArchiveTestBuilder.h"

using namespace archivetest;

namespace {

constexpr size_t kContentSize = 16u << 20;

struct Prepared {
  Bytes archive;
  size_t contentSize = 0;
};

Prepared prepare(const Member& m, size_t contentSize) {
  ArchiveBuilder a;
  a.add(m);
  return {a.bytes, contentSize};
}

// Text-like content: 30 % literals, the rest matches of every kind, codes fitted to the symbols.
const Prepared& textLike() {
  static const Prepared p = [] {
    const GeneratedStream g = randomStream(1, kContentSize, {}, 30);
    return prepare(packedMember("m", g.packed, g.content), g.content.size());
  }();
  return p;
}

// Nothing but literals: the slowest content per byte.
const Prepared& literalsOnly() {
  static const Prepared p = [] {
    const GeneratedStream g = randomStream(2, kContentSize, {}, 100);
    return prepare(packedMember("m", g.packed, g.content), g.content.size());
  }();
  return p;
}

// Literals under codes of 2 to 15 bits spread without regard to use: the search over `limit`
// runs for most symbols.
const Prepared& literalsLongCodes() {
  static const Prepared p = [] {
    const GeneratedStream g = randomStream(3, kContentSize / 4, skewedLengths(), 100);
    return prepare(packedMember("m", g.packed, g.content), g.content.size());
  }();
  return p;
}

const Prepared& textLikeEnciphered() {
  static const Prepared p = [] {
    const GeneratedStream g = randomStream(1, kContentSize, {}, 30);
    return prepare(enciphered(packedMember("m", g.packed, g.content), "marzipol"), g.content.size());
  }();
  return p;
}

// Four interleaved audio channels of small differences.
const Prepared& audio() {
  static const Prepared p = [] {
    StreamWriter w;
    w.tables(Bytes(4 * kAudio, 9), true, 4);
    std::mt19937 rng(4);
    const uint32_t size = kContentSize / 4;
    for (uint32_t n = 0; n < size; ++n) w.audioSymbol(n % 4, (uniform(rng, 0, 8) + 252) & 255);
    const Bytes packed = w.finish();
    return prepare(packedMember("m", packed, decodePacked(packed, size)), size);
  }();
  return p;
}

void run(benchmark::State& state, const Prepared& p, const char* passPhrase) {
  for (auto _ : state) {
    // Read-only stream over the prepared bytes; the member comes back on the heap.
    std::FILE* f = fmemopen(const_cast<uint8_t*>(p.archive.data()), p.archive.size(), "rb");
    uint8_t* data = nullptr;
    uint32_t size = 0;
    const int ok = datafiles::extractMember("m", f, passPhrase, data, size);
    std::fclose(f);
    benchmark::DoNotOptimize(data);
    std::free(data);
    if (!ok || size != p.contentSize) {
      state.SkipWithError("extraction failed");
      break;
    }
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(p.contentSize));
}

void BM_TextLike(benchmark::State& s) { run(s, textLike(), nullptr); }
void BM_LiteralsOnly(benchmark::State& s) { run(s, literalsOnly(), nullptr); }
void BM_LiteralsLongCodes(benchmark::State& s) { run(s, literalsLongCodes(), nullptr); }
void BM_TextLikeEnciphered(benchmark::State& s) { run(s, textLikeEnciphered(), "marzipol"); }
void BM_AudioFourChannels(benchmark::State& s) { run(s, audio(), nullptr); }

BENCHMARK(BM_TextLike)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LiteralsOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LiteralsLongCodes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextLikeEnciphered)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AudioFourChannels)->Unit(benchmark::kMillisecond);

}  // namespace
