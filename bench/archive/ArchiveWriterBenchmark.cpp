// ArchiveWriter packing speed per level on each kind of content of the benchmark corpus.
// Throughput counts content bytes; "ratio" is packed size over content size.
#include <benchmark/benchmark.h>

#include "BenchCorpus.h"
#include "datafiles/ArchiveWriter.h"

namespace {

const std::vector<archivebench::CorpusFile>& corpus() {
  static const auto files = archivebench::makeCorpus(1 << 20);
  return files;
}

// Arguments: index of the corpus file, level.
void packMember(benchmark::State& state) {
  const archivebench::CorpusFile& file = corpus()[size_t(state.range(0))];
  datafiles::ArchiveOptions options;
  options.level = int(state.range(1));
  size_t packed = 0;
  for (auto _ : state) {
    datafiles::ArchiveWriter writer(options);
    writer.addMember("m", file.content);
    packed = writer.finish().size();
  }
  state.SetLabel(file.name);
  state.SetBytesProcessed(int64_t(state.iterations() * file.content.size()));
  state.counters["ratio"] = double(packed) / double(file.content.size());
}

BENCHMARK(packMember)
    ->ArgsProduct({{0, 3, 6}, {datafiles::kFastestLevel, datafiles::kDefaultLevel, datafiles::kBestLevel}})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
