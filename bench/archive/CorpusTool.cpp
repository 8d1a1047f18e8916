// Writes the benchmark corpus into a folder: archive_bench_corpus DIR [MiB per file, default 4].
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "BenchCorpus.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3 || std::string(argv[1]) == "--help") {
    std::fprintf(stderr, "usage: archive_bench_corpus DIR [MIB_PER_FILE]\n");
    return 2;
  }
  const size_t mib = argc == 3 ? std::strtoul(argv[2], nullptr, 10) : 4;
  if (mib == 0) {
    std::fprintf(stderr, "archive_bench_corpus: MIB_PER_FILE must be a positive number\n");
    return 2;
  }
  size_t total = 0;
  for (const auto& file : archivebench::makeCorpus(mib << 20)) {
    const std::filesystem::path path = std::filesystem::path(argv[1]) / file.name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.content.data()), std::streamsize(file.content.size()));
    if (!out) {
      std::fprintf(stderr, "archive_bench_corpus: cannot write %s\n", path.c_str());
      return 1;
    }
    total += file.content.size();
  }
  std::printf("%zu\n", total);
  return 0;
}
