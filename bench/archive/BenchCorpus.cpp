#include "BenchCorpus.h"

#include <cmath>
#include <random>

namespace archivebench {

namespace {

using Bytes = std::vector<uint8_t>;

class Source {
 public:
  explicit Source(uint32_t seed) : rng_(seed) {}
  uint32_t below(uint32_t n) { return rng_() % n; }
  // Zipf-like pick: small indices far more often.
  uint32_t skewed(uint32_t n) {
    const double u = (rng_() + 0.5) / 4294967296.0;
    return uint32_t(std::pow(double(n), u)) - 1;
  }

 private:
  std::mt19937 rng_;
};

std::vector<std::string> vocabulary(Source& s, size_t count) {
  static const char* syllables[] = {"ka", "lo", "mi", "ne", "ra", "th", "en", "vor", "al", "is",
                                    "qu", "el", "ma", "ri", "on", "st", "ex", "ha", "cy", "rn"};
  std::vector<std::string> words;
  for (size_t i = 0; i < count; ++i) {
    std::string w;
    for (uint32_t k = 0, n = 1 + s.below(4); k < n; ++k) w += syllables[s.below(20)];
    words.push_back(w);
  }
  return words;
}

void append(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }

Bytes prose(size_t size, uint32_t seed) {
  Source s(seed);
  const std::vector<std::string> words = vocabulary(s, 3000);
  Bytes b;
  size_t column = 0;
  while (b.size() < size) {
    std::string sentence;
    for (uint32_t k = 0, n = 5 + s.below(14); k < n; ++k) {
      std::string w = words[s.skewed(3000)];
      if (k == 0) w[0] = char(w[0] - 'a' + 'A');
      sentence += (k ? " " : "") + w + (k + 1 == n ? ". " : s.below(9) == 0 ? "," : "");
    }
    for (char c : sentence) {
      if (c == ' ' && column > 72) {
        b.push_back('\n');
        column = 0;
      } else {
        b.push_back(uint8_t(c));
        ++column;
      }
    }
    if (s.below(6) == 0) append(b, "\n\n"), column = 0;
  }
  b.resize(size);
  return b;
}

Bytes logLines(size_t size, uint32_t seed) {
  Source s(seed);
  static const char* levels[] = {"INFO", "DEBUG", "WARN", "ERROR"};
  static const char* events[] = {"frame composed", "texture uploaded", "member extracted",
                                 "buffer swapped", "sound block queued", "seek requested"};
  Bytes b;
  uint64_t ms = 1000;
  char line[160];
  while (b.size() < size) {
    ms += 1 + s.below(40);
    std::snprintf(line, sizeof line, "2026-12-09 %02u:%02u:%02u.%03u [%s] %s id=%u size=%u t=%.3f\n",
                  unsigned(ms / 3600000 % 24), unsigned(ms / 60000 % 60), unsigned(ms / 1000 % 60),
                  unsigned(ms % 1000), levels[s.skewed(4)], events[s.below(6)], s.below(5000),
                  s.skewed(1 << 20), s.below(100000) / 997.0);
    append(b, line);
  }
  b.resize(size);
  return b;
}

Bytes table(size_t size, uint32_t seed) {
  Source s(seed);
  Bytes b;
  append(b, "index,name,x,y,z,weight,flags\n");
  char line[160];
  const std::vector<std::string> names = vocabulary(s, 400);
  for (uint32_t i = 0; b.size() < size; ++i) {
    std::snprintf(line, sizeof line, "%u,%s,%d.%02u,%d.%02u,%d.%02u,%u,0x%04x\n", i,
                  names[s.skewed(400)].c_str(), int(s.below(2000)) - 1000, s.below(100),
                  int(s.below(2000)) - 1000, s.below(100), int(s.below(200)), s.below(100),
                  s.skewed(1000), 1u << s.below(12));
    append(b, line);
  }
  b.resize(size);
  return b;
}

// Code-like bytes: functions built from instruction templates with varying registers,
// immediates and call offsets, then a string table, a table of rising addresses and padding.
Bytes binary(size_t size, uint32_t seed) {
  Source s(seed);
  std::vector<Bytes> templates;
  for (int i = 0; i < 60; ++i) {
    Bytes t(2 + s.below(6));
    for (auto& x : t) x = uint8_t(s.below(256));
    templates.push_back(t);
  }
  const std::vector<std::string> names = vocabulary(s, 500);
  Bytes b;
  while (b.size() < size) {
    const uint32_t section = s.below(10);
    if (section < 7) {  // code
      for (uint32_t f = 0, n = 20 + s.below(200); f < n; ++f) {
        Bytes ins = templates[s.skewed(60)];
        if (ins.size() > 2) ins[1] = uint8_t((ins[1] & 0xC0) | s.below(64));
        if (ins.size() > 4 && s.below(3) == 0) ins[ins.size() - 1] = uint8_t(s.below(16));
        b.insert(b.end(), ins.begin(), ins.end());
        if (s.below(12) == 0) {
          const uint32_t target = s.below(1 << 16);
          const uint8_t call[] = {0xE8, uint8_t(target), uint8_t(target >> 8), 0, 0};
          b.insert(b.end(), call, call + 5);
        }
      }
      b.push_back(0xC3);
      while (b.size() % 16) b.push_back(0xCC);
    } else if (section < 8) {  // strings
      for (uint32_t k = 0, n = 10 + s.below(60); k < n; ++k) {
        append(b, "_ZN" + names[s.skewed(500)] + "_" + names[s.below(500)]);
        b.push_back(0);
      }
    } else if (section < 9) {  // addresses
      uint32_t address = 0x400000 + s.below(1 << 20);
      for (uint32_t k = 0, n = 16 + s.below(200); k < n; ++k) {
        address += 4 + 4 * s.below(40);
        for (int j = 0; j < 4; ++j) b.push_back(uint8_t(address >> (8 * j)));
      }
    } else {  // zero padding
      b.insert(b.end(), 256 + s.below(4096), 0);
    }
  }
  b.resize(size);
  return b;
}

// Notes of a few harmonics under an envelope, a new note every quarter second, a little noise.
Bytes sound(size_t size, uint32_t seed, int channels, int bytesPerSample) {
  Source s(seed);
  const size_t frames = size / (channels * bytesPerSample);
  Bytes b;
  b.reserve(size);
  double frequency = 220, phase = 0;
  for (size_t i = 0; i < frames; ++i) {
    const size_t inNote = i % 11025;
    if (inNote == 0) frequency = 110.0 * std::pow(2.0, s.below(36) / 12.0);
    phase += 2 * M_PI * frequency / 44100;
    const double envelope = std::exp(-double(inNote) / 6000.0);
    for (int c = 0; c < channels; ++c) {
      const double v = envelope * (0.5 * std::sin(phase + c) + 0.25 * std::sin(2 * phase) +
                                   0.12 * std::sin(3 * phase + 0.5 * c)) +
                       (int(s.below(201)) - 100) / 40000.0;
      if (bytesPerSample == 2) {
        const int16_t x = int16_t(std::lround(v * 20000));
        b.push_back(uint8_t(x));
        b.push_back(uint8_t(uint16_t(x) >> 8));
      } else {
        b.push_back(uint8_t(128 + std::lround(v * 90)));
      }
    }
  }
  b.resize(size, 0);
  return b;
}

}  // namespace

std::vector<CorpusFile> makeCorpus(size_t fileSize) {
  return {{"text/prose.txt", prose(fileSize, 1)},
          {"text/events.log", logLines(fileSize, 2)},
          {"text/points.csv", table(fileSize, 3)},
          {"bin/engine.so", binary(fileSize, 4)},
          {"bin/tool.exe", binary(fileSize * 9 / 10, 5)},
          {"bin/plugin.dll", binary(fileSize * 11 / 10, 6)},
          {"sound/stereo16.pcm", sound(fileSize * 5 / 4, 7, 2, 2)},
          {"sound/mono16.pcm", sound(fileSize, 8, 1, 2)},
          {"sound/mono8.pcm", sound(fileSize * 3 / 4, 9, 1, 1)}};
}

}  // namespace archivebench
