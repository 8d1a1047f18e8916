// extractMember on large archives held in memory: the whole path a member takes (block scan,
// deciphering, decompression, delivery, CRC-32). Throughput counts content bytes produced.
// The Corpus* cases take the archive benchmark's kinds of content (text, binaries, PCM sound,
// 2 MiB per file) packed by the archive writer at the default level: the LZ path and the audio
// predictor as real archives use them.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "ArchiveTestBuilder.h"
#include "BenchCorpus.h"
#include "datafiles/ArchiveWriter.h"

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

// The corpus files whose names start with `folder`, each a member of one archive.
struct PreparedKind {
  Bytes archive;
  std::vector<std::string> names;
  size_t contentSize = 0;
};

const PreparedKind& corpusKind(const std::string& folder) {
  static std::vector<archivebench::CorpusFile> corpus = archivebench::makeCorpus(2u << 20);
  static std::map<std::string, PreparedKind> prepared;  // nodes stay put as kinds are added
  if (const auto it = prepared.find(folder); it != prepared.end()) return it->second;
  datafiles::ArchiveWriter writer;
  PreparedKind p;
  for (const archivebench::CorpusFile& f : corpus) {
    if (f.name.compare(0, folder.size(), folder) != 0) continue;
    writer.addMember(f.name, f.content);
    p.names.push_back(f.name);
    p.contentSize += f.content.size();
  }
  p.archive = writer.finish();
  return prepared.emplace(folder, std::move(p)).first->second;
}

void runKind(benchmark::State& state, const PreparedKind& p) {
  for (auto _ : state) {
    for (const std::string& name : p.names) {
      std::FILE* f = fmemopen(const_cast<uint8_t*>(p.archive.data()), p.archive.size(), "rb");
      uint8_t* data = nullptr;
      uint32_t size = 0;
      const int ok = datafiles::extractMember(name, f, nullptr, data, size);
      std::fclose(f);
      benchmark::DoNotOptimize(data);
      std::free(data);
      if (!ok) {
        state.SkipWithError("extraction failed");
        return;
      }
    }
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(p.contentSize));
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

void BM_CorpusText(benchmark::State& s) { runKind(s, corpusKind("text/")); }
void BM_CorpusBinary(benchmark::State& s) { runKind(s, corpusKind("bin/")); }
void BM_CorpusSound(benchmark::State& s) { runKind(s, corpusKind("sound/")); }

BENCHMARK(BM_TextLike)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LiteralsOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LiteralsLongCodes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextLikeEnciphered)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AudioFourChannels)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CorpusText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CorpusBinary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CorpusSound)->Unit(benchmark::kMillisecond);

}  // namespace
