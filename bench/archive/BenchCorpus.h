#pragma once
// A deterministic mixed corpus for the archive benchmarks: prose, logs and tables (text),
// machine-code-like binaries, and PCM sound (16-bit stereo and mono, 8-bit mono). The same seed
// gives the same bytes on every run; only the raw 32-bit output of std::mt19937 is used.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace archivebench {

struct CorpusFile {
  std::string name;
  std::vector<uint8_t> content;
};

// Nine files of about `fileSize` bytes each: three text, three binary, three sound.
std::vector<CorpusFile> makeCorpus(size_t fileSize);

}  // namespace archivebench
