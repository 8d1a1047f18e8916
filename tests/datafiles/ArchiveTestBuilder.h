#pragma once
// Test-side writers for the archive reader's input: a bit writer, canonical code assignment, a
// packed-stream writer that speaks the decompressor's symbols, and an archive builder for blocks.
// Header-only, shared by the datafiles tests, the fuzz seed generator and the benchmark.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "datafiles/ArchiveReader.h"
#include "datafiles/ArchiveReaderState.h"
#include "datafiles/Crc32.h"
#include "datafiles/MemberCipher.h"
#include "support/TempFiles.h"

namespace archivetest {

using Bytes = std::vector<uint8_t>;

class BitWriter {
 public:
  // The low `count` bits of value, most significant first.
  void put(uint32_t value, uint32_t count) {
    for (uint32_t i = count; i-- > 0;) {
      if (bitCount_ % 8 == 0) bytes_.push_back(0);
      if ((value >> i) & 1) bytes_.back() |= uint8_t(0x80 >> (bitCount_ % 8));
      ++bitCount_;
    }
  }
  size_t bitCount() const { return bitCount_; }
  const Bytes& bytes() const { return bytes_; }

 private:
  Bytes bytes_;
  size_t bitCount_ = 0;
};

struct Code {
  uint32_t value = 0;
  uint32_t length = 0;  // 0: the symbol has no code
};

// Canonical codes: shorter codes first, equal lengths in symbol order.
inline std::vector<Code> canonicalCodes(const Bytes& lengths) {
  uint32_t count[16] = {};
  for (uint8_t l : lengths) count[l & 15]++;
  count[0] = 0;
  uint32_t next[16] = {};
  uint32_t code = 0;
  for (int b = 1; b <= 15; ++b) {
    code = (code + count[b - 1]) << 1;
    next[b] = code;
  }
  std::vector<Code> codes(lengths.size());
  for (size_t s = 0; s < lengths.size(); ++s)
    if (lengths[s] & 15) codes[s] = {next[lengths[s] & 15]++, uint32_t(lengths[s] & 15)};
  return codes;
}

constexpr uint32_t kMain = 298, kDistance = 48, kRepeat = 28, kAudio = 257;

// Lengths with every symbol present: main 9 bits, distance 6, repeat 5.
inline Bytes flatLengths() {
  Bytes l(kMain + kDistance + kRepeat);
  for (uint32_t i = 0; i < l.size(); ++i) l[i] = i < kMain ? 9 : i < kMain + kDistance ? 6 : 5;
  return l;
}

// Every symbol present, codes from 2 to 15 bits spread over the symbols, so both the quick
// look-up and the search over `limit` are used.
inline Bytes skewedLengths() {
  auto spread = [](Bytes& out, size_t offset, uint32_t n, std::vector<std::pair<int, int>> groups) {
    uint32_t k = 0;
    for (auto [count, length] : groups)
      for (int i = 0; i < count; ++i, ++k) out[offset + (k * 37u) % n] = uint8_t(length);
  };
  Bytes l(kMain + kDistance + kRepeat);
  spread(l, 0, kMain, {{2, 2}, {4, 4}, {8, 6}, {16, 8}, {32, 10}, {64, 12}, {172, 15}});
  spread(l, kMain, kDistance, {{2, 2}, {4, 4}, {8, 6}, {16, 8}, {18, 12}});
  spread(l, kMain + kDistance, kRepeat, {{2, 2}, {4, 4}, {8, 6}, {14, 10}});
  return l;
}

// Slot tables of the method: extra bits per slot, bases following from them.
struct Slots {
  std::vector<uint32_t> bits, base;
  explicit Slots(std::vector<uint32_t> extra) : bits(std::move(extra)) {
    uint32_t next = 0;
    for (uint32_t b : bits) {
      base.push_back(next);
      next += 1u << b;
    }
  }
  // The slot whose range holds value.
  uint32_t find(uint32_t value) const {
    uint32_t s = 0;
    while (s + 1 < base.size() && base[s + 1] <= value) ++s;
    return s;
  }
};
inline const Slots& lengthSlots() {
  static const Slots s({0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5});
  return s;
}
inline const Slots& distanceSlots() {
  static const Slots s({0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10,
                        11, 11, 12, 12, 13, 13, 14, 14, 15, 15, 16, 16, 16, 16, 16, 16, 16, 16, 16,
                        16, 16, 16, 16, 16});
  return s;
}
inline const Slots& shortDistanceSlots() {
  static const Slots s({2, 2, 3, 4, 5, 6, 6, 6});
  return s;
}

// Writes a packed stream symbol by symbol, tracking the code tables like the decoder does.
class StreamWriter {
 public:
  // A table set: 374 lengths (main, distance, repeat) or 257 per audio channel. With
  // `keepPrevious` the lengths go as differences from the previous set (header bit 0x4000).
  // `useRuns` sends runs with the codes 16, 17 and 18.
  void tables(const Bytes& lengths, bool audio = false, uint32_t channels = 1, bool keepPrevious = false,
              bool useRuns = true) {
    if (!keepPrevious) previous_.assign(previous_.size(), 0);
    bits.put((audio ? 2 : 0) | (keepPrevious ? 1 : 0), 2);
    if (audio) bits.put(channels - 1, 2);
    // The code-length code: all 19 symbols in 5 bits.
    for (int i = 0; i < 19; ++i) bits.put(5, 4);
    auto cl = [&](uint32_t s) { bits.put(s, 5); };
    const size_t n = lengths.size();
    for (size_t i = 0; i < n;) {
      const uint8_t l = lengths[i];
      size_t run = 1;
      while (i + run < n && lengths[i + run] == l) ++run;
      if (useRuns && l == 0 && run >= 11) {
        const size_t r = run < 138 ? run : 138;
        cl(18), bits.put(uint32_t(r - 11), 7), i += r;
      } else if (useRuns && l == 0 && run >= 3) {
        const size_t r = run < 10 ? run : 10;
        cl(17), bits.put(uint32_t(r - 3), 3), i += r;
      } else if (useRuns && i > 0 && lengths[i - 1] == l && run >= 3) {
        const size_t r = run < 6 ? run : 6;
        cl(16), bits.put(uint32_t(r - 3), 2), i += r;
      } else {
        cl((l - previous_[i]) & 15), ++i;
      }
    }
    useTables(lengths, audio, channels);
  }

  // Takes the codes of a table set without writing it (a solid member continuing a stream).
  void useTables(const Bytes& lengths, bool audio = false, uint32_t channels = 1) {
    std::fill(previous_.begin(), previous_.end(), 0);
    std::copy(lengths.begin(), lengths.end(), previous_.begin());
    if (audio) {
      for (uint32_t c = 0; c < channels; ++c)
        audioCodes_[c] = canonicalCodes(Bytes(lengths.begin() + c * kAudio, lengths.begin() + (c + 1) * kAudio));
    } else {
      mainCodes_ = canonicalCodes(Bytes(lengths.begin(), lengths.begin() + kMain));
      distanceCodes_ = canonicalCodes(Bytes(lengths.begin() + kMain, lengths.begin() + kMain + kDistance));
      repeatCodes_ = canonicalCodes(Bytes(lengths.begin() + kMain + kDistance, lengths.end()));
    }
  }

  void symbol(uint32_t s) { put(mainCodes_.at(s)); }
  void literal(uint8_t b) { symbol(b); }
  void lastMatch() { symbol(256); }
  void tableChange() { symbol(269); }
  void audioSymbol(uint32_t channel, uint32_t s) { put(audioCodes_[channel].at(s)); }

  // A long match (symbols 270 and up); the length includes the bonus for far distances.
  void longMatch(uint32_t length, uint32_t distance) {
    const uint32_t bonus = (distance >= 0x2000) + (distance >= 0x40000);
    const uint32_t l = length - 3 - bonus;
    const uint32_t ls = lengthSlots().find(l);
    symbol(270 + ls);
    bits.put(l - lengthSlots().base[ls], lengthSlots().bits[ls]);
    const uint32_t d = distance - 1;
    const uint32_t ds = distanceSlots().find(d);
    put(distanceCodes_.at(ds));
    bits.put(d - distanceSlots().base[ds], distanceSlots().bits[ds]);
  }
  // A match at the k-th most recent distance (k = 1..4); `length` includes the distance bonus.
  void repeatMatch(uint32_t k, uint32_t length, uint32_t distance) {
    const uint32_t bonus = (distance >= 0x101) + (distance >= 0x2000) + (distance >= 0x40000);
    const uint32_t l = length - 2 - bonus;
    symbol(256 + k);
    const uint32_t ls = lengthSlots().find(l);
    put(repeatCodes_.at(ls));
    bits.put(l - lengthSlots().base[ls], lengthSlots().bits[ls]);
  }
  // A two-byte match at a distance of 1 to 256.
  void shortMatch(uint32_t distance) {
    const uint32_t d = distance - 1;
    const uint32_t s = shortDistanceSlots().find(d);
    symbol(261 + s);
    bits.put(d - shortDistanceSlots().base[s], shortDistanceSlots().bits[s]);
  }

  Bytes finish() const { return bits.bytes(); }

  BitWriter bits;

 private:
  void put(const Code& c) {
    if (c.length == 0) throw std::runtime_error("symbol without a code");
    bits.put(c.value, c.length);
  }
  Bytes previous_ = Bytes(1028, 0);
  std::vector<Code> mainCodes_, distanceCodes_, repeatCodes_, audioCodes_[4];
};

// The content a sequence of LZ steps produces: literals, and matches copied byte by byte from
// `distance` back (bytes before the start read as zero, like the fresh window).
class ContentModel {
 public:
  void literal(uint8_t b) { out.push_back(b); }
  void match(uint32_t length, uint32_t distance) {
    for (uint32_t i = 0; i < length; ++i) out.push_back(out.size() >= distance ? out[out.size() - distance] : 0);
  }
  Bytes out;
};

// Huffman code lengths for the given symbol counts, at most `maxLength` bits; symbols that never
// occur get no code. Counts are halved until the longest code fits.
inline Bytes fittedLengths(std::vector<uint64_t> counts, uint32_t maxLength = 15) {
  for (;;) {
    struct Node {
      uint64_t weight;
      int left, right;
    };
    std::vector<Node> nodes;
    std::vector<std::pair<uint64_t, int>> heap;  // min-heap of (weight, node)
    for (size_t i = 0; i < counts.size(); ++i) {
      nodes.push_back({counts[i], -1, -1});
      if (counts[i] > 0) heap.push_back({counts[i], int(i)});
    }
    Bytes lengths(counts.size(), 0);
    if (heap.size() == 1) lengths[size_t(heap[0].second)] = 1;
    if (heap.size() <= 1) return lengths;
    auto greater = [](const auto& x, const auto& y) { return x.first > y.first; };
    std::make_heap(heap.begin(), heap.end(), greater);
    while (heap.size() > 1) {
      std::pop_heap(heap.begin(), heap.end(), greater);
      const auto x = heap.back();
      heap.pop_back();
      std::pop_heap(heap.begin(), heap.end(), greater);
      const auto y = heap.back();
      heap.pop_back();
      nodes.push_back({x.first + y.first, x.second, y.second});
      heap.push_back({x.first + y.first, int(nodes.size() - 1)});
      std::push_heap(heap.begin(), heap.end(), greater);
    }
    uint32_t longest = 0;
    std::vector<std::pair<int, uint32_t>> stack = {{heap[0].second, 0}};
    while (!stack.empty()) {
      const auto [n, depth] = stack.back();
      stack.pop_back();
      if (nodes[size_t(n)].left < 0) {
        lengths[size_t(n)] = uint8_t(depth);
        longest = std::max(longest, depth);
      } else {
        stack.push_back({nodes[size_t(n)].left, depth + 1});
        stack.push_back({nodes[size_t(n)].right, depth + 1});
      }
    }
    if (longest <= maxLength) return lengths;
    for (uint64_t& c : counts)
      if (c > 0) c = (c + 1) / 2;
  }
}

// A random but valid stream of `size` bytes: text-like literals and every kind of match. With
// empty `lengths` the code lengths are fitted to the symbols used, as an archiver would.
struct GeneratedStream {
  Bytes packed;
  Bytes content;
};

template <class Rng>
uint32_t uniform(Rng& rng, uint32_t lo, uint32_t hi) {  // inclusive
  return lo + uint32_t(rng() % (uint64_t(hi) - lo + 1));
}

inline GeneratedStream randomStream(uint32_t seed, size_t size, const Bytes& lengths, uint32_t literalPercent = 50) {
  // Steps first (kind, length, distance, k), content alongside; then codes; then the bits.
  enum Kind { Literal, Long, Short, Repeat, Last };
  struct Step {
    Kind kind;
    uint32_t length, distance, k;
  };
  std::vector<Step> steps;
  std::mt19937 rng(seed);
  ContentModel m;
  uint32_t recent[4] = {}, recentIndex = 0, lastLength = 0, lastDistance = 0;
  auto record = [&](uint32_t length, uint32_t distance) {
    recent[recentIndex++ & 3] = distance;
    lastLength = length;
    lastDistance = distance;
    m.match(length, distance);
  };
  while (m.out.size() < size) {
    const size_t remaining = size - m.out.size();
    const uint32_t roll = uniform(rng, 0, 99);
    if (m.out.empty() || remaining < 262 || roll < literalPercent) {
      const uint8_t b = uint8_t(uniform(rng, 0, 9) == 0 ? uniform(rng, 0, 255) : uniform(rng, 'a', 'z'));
      steps.push_back({Literal, b, 0, 0});
      m.literal(b);
      continue;
    }
    const uint32_t kind = uniform(rng, 0, 9);
    const uint32_t reach = uint32_t(std::min<size_t>(m.out.size(), 0x100000));
    if (kind < 6) {
      const uint32_t distance = uniform(rng, 0, 3) == 0 ? uniform(rng, 1, reach) : uniform(rng, 1, std::min(reach, 4096u));
      const uint32_t bonus = (distance >= 0x2000) + (distance >= 0x40000);
      const uint32_t length = uniform(rng, 0, uniform(rng, 0, 1) ? 255 : 20) + 3 + bonus;
      steps.push_back({Long, length, distance, 0});
      record(length, distance);
    } else if (kind < 8) {
      const uint32_t distance = uniform(rng, 1, std::min(reach, 256u));
      steps.push_back({Short, 2, distance, 0});
      record(2, distance);
    } else if (kind < 9) {
      const uint32_t k = uniform(rng, 1, 4);
      const uint32_t distance = recent[(recentIndex - k) & 3];
      if (distance == 0) continue;
      const uint32_t bonus = (distance >= 0x101) + (distance >= 0x2000) + (distance >= 0x40000);
      const uint32_t length = uniform(rng, 0, 255) + 2 + bonus;
      steps.push_back({Repeat, length, distance, k});
      record(length, distance);
    } else {
      if (lastDistance == 0) continue;
      steps.push_back({Last, lastLength, lastDistance, 0});
      record(lastLength, lastDistance);
    }
  }

  Bytes codeLengths = lengths;
  if (codeLengths.empty()) {
    // Count what each step sends, with the slot rules of StreamWriter.
    std::vector<uint64_t> main(kMain, 0), dist(kDistance, 0), rep(kRepeat, 0);
    for (const Step& s : steps) {
      switch (s.kind) {
        case Literal: main[s.length]++; break;
        case Long: {
          const uint32_t bonus = (s.distance >= 0x2000) + (s.distance >= 0x40000);
          main[270 + lengthSlots().find(s.length - 3 - bonus)]++;
          dist[distanceSlots().find(s.distance - 1)]++;
          break;
        }
        case Short: main[261 + shortDistanceSlots().find(s.distance - 1)]++; break;
        case Repeat: {
          const uint32_t bonus = (s.distance >= 0x101) + (s.distance >= 0x2000) + (s.distance >= 0x40000);
          main[256 + s.k]++;
          rep[lengthSlots().find(s.length - 2 - bonus)]++;
          break;
        }
        case Last: main[256]++; break;
      }
    }
    for (auto* counts : {&dist, &rep}) (*counts)[0] += 1;  // keep each code non-empty
    const Bytes a = fittedLengths(main), b = fittedLengths(dist), c = fittedLengths(rep);
    codeLengths = a;
    codeLengths.insert(codeLengths.end(), b.begin(), b.end());
    codeLengths.insert(codeLengths.end(), c.begin(), c.end());
  }
  StreamWriter w;
  w.tables(codeLengths);
  for (const Step& s : steps) {
    switch (s.kind) {
      case Literal: w.literal(uint8_t(s.length)); break;
      case Long: w.longMatch(s.length, s.distance); break;
      case Short: w.shortMatch(s.distance); break;
      case Repeat: w.repeatMatch(s.k, s.length, s.distance); break;
      case Last: w.lastMatch(); break;
    }
  }
  return {w.finish(), m.out};
}

struct Member {
  std::string name;
  Bytes packed;          // as stored in the archive (enciphered already, when flagged)
  uint32_t unpSize = 0;
  uint32_t fileCrc = 0;
  uint16_t flags = 0x8000;
  uint8_t unpVer = 20;
  uint8_t method = 0x33;
  Bytes extraHeader;     // bytes between the name and the data (a comment, say)
  int64_t packSizeOverride = -1;
  int64_t nameSizeOverride = -1;
  int64_t headSizeOverride = -1;
};

inline void putLe(Bytes& out, uint32_t value, int count) {
  for (int i = 0; i < count; ++i) out.push_back(uint8_t(value >> (8 * i)));
}

// Header CRC as archivers write it: the low 16 bits of the CRC-32 of the header from offset 2.
inline void sealHeader(Bytes& out, size_t start) {
  const uint32_t crc = datafiles::crc32(out.data() + start + 2, out.size() - start - 2);
  out[start] = uint8_t(crc);
  out[start + 1] = uint8_t(crc >> 8);
}

class ArchiveBuilder {
 public:
  explicit ArchiveBuilder(bool solid = false, bool altMarker = false) {
    static const uint8_t rar[7] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
    static const uint8_t alt[7] = {'K', 'o', 'r', 'b', 'a', 'X', '!'};
    bytes.assign(altMarker ? alt : rar, (altMarker ? alt : rar) + 7);
    const size_t start = bytes.size();
    putLe(bytes, 0, 2);
    bytes.push_back(0x73);
    putLe(bytes, solid ? 0x0008 : 0, 2);
    putLe(bytes, 13, 2);
    putLe(bytes, 0, 2);
    putLe(bytes, 0, 4);
    sealHeader(bytes, start);
  }

  ArchiveBuilder& add(const Member& m) {
    const size_t start = bytes.size();
    const uint32_t nameSize = m.nameSizeOverride >= 0 ? uint32_t(m.nameSizeOverride) : uint32_t(m.name.size());
    const uint32_t headSize = m.headSizeOverride >= 0 ? uint32_t(m.headSizeOverride)
                                                      : uint32_t(32 + m.name.size() + m.extraHeader.size());
    putLe(bytes, 0, 2);
    bytes.push_back(0x74);
    putLe(bytes, m.flags, 2);
    putLe(bytes, headSize, 2);
    putLe(bytes, m.packSizeOverride >= 0 ? uint32_t(m.packSizeOverride) : uint32_t(m.packed.size()), 4);
    putLe(bytes, m.unpSize, 4);
    bytes.push_back(3);  // host: Unix
    putLe(bytes, m.fileCrc, 4);
    putLe(bytes, 0x5A210000, 4);  // a DOS date in 2025
    bytes.push_back(m.unpVer);
    bytes.push_back(m.method);
    putLe(bytes, nameSize, 2);
    putLe(bytes, 0x81A4, 4);
    bytes.insert(bytes.end(), m.name.begin(), m.name.end());
    bytes.insert(bytes.end(), m.extraHeader.begin(), m.extraHeader.end());
    sealHeader(bytes, start);
    bytes.insert(bytes.end(), m.packed.begin(), m.packed.end());
    return *this;
  }

  // A block of another type: its header is `headSize` bytes (at least 7), then the data area.
  ArchiveBuilder& block(uint8_t type, uint16_t flags, uint16_t headSize, const Bytes& data = {}) {
    const size_t start = bytes.size();
    putLe(bytes, 0, 2);
    bytes.push_back(type);
    putLe(bytes, flags, 2);
    putLe(bytes, headSize, 2);
    if (headSize >= 11) putLe(bytes, uint32_t(data.size()), 4);
    while (bytes.size() - start < headSize) bytes.push_back(0);
    bytes.insert(bytes.end(), data.begin(), data.end());
    return *this;
  }

  Bytes bytes;
};

// Members ready to add.
inline Member storedMember(const std::string& name, const Bytes& content) {
  Member m;
  m.name = name;
  m.packed = content;
  m.unpSize = uint32_t(content.size());
  m.fileCrc = datafiles::crc32(content.data(), content.size());
  m.method = 0x30;
  return m;
}

inline Member packedMember(const std::string& name, const Bytes& packed, const Bytes& content) {
  Member m;
  m.name = name;
  m.packed = packed;
  m.unpSize = uint32_t(content.size());
  m.fileCrc = datafiles::crc32(content.data(), content.size());
  m.flags = 0x8000 | 0x0080;  // 1 MiB dictionary
  return m;
}

// Enciphers the member's packed data under `passPhrase`, padded with zeros to whole blocks.
inline Member enciphered(Member m, const std::string& passPhrase) {
  datafiles::MemberCipher cipher;
  datafiles::prepareCipher(cipher, passPhrase);
  m.packed.resize((m.packed.size() + 15) / 16 * 16, 0);
  datafiles::encipherBlocks(cipher, m.packed.data(), m.packed.size());
  m.flags |= 0x0004;
  return m;
}

struct Extracted {
  int result = 0;
  bool dataIsNull = true;
  Bytes data;
  uint32_t size = 0;
};

// extractMember on an archive held in memory (at least one byte).
inline Extracted extract(const Bytes& archive, const std::string& name, const char* passPhrase = nullptr) {
  Extracted e;
  Bytes copy = archive;
  std::FILE* f = testsupport::openBytes(copy);
  uint8_t* data = reinterpret_cast<uint8_t*>(1);
  e.result = datafiles::extractMember(name, f, passPhrase, data, e.size);
  std::fclose(f);
  e.dataIsNull = data == nullptr;
  if (data) {
    e.data.assign(data, data + e.size);
    std::free(data);
  }
  return e;
}

// The reader's own output for a packed stream of `size` bytes (one non-solid member), for
// content that is easier to confirm than to predict (audio mode).
inline Bytes decodePacked(const Bytes& packed, uint32_t size) {
  datafiles::ArchiveReaderState state;
  state.window.reset(new uint8_t[datafiles::kWindowSize]());
  Bytes copy = packed;
  std::FILE* f = testsupport::openBytes(copy);
  state.archive = f;
  state.fileHeader.unpSize = size;
  state.fileHeader.flags = 0x8000;
  state.packedLeft = uint32_t(packed.size());
  state.decoder.bytesToProduce = size;
  Bytes out(size + 1);
  state.output = out.data();
  datafiles::decompressMember(state);
  std::fclose(f);
  out.resize(state.delivered);
  return out;
}

}  // namespace archivetest
