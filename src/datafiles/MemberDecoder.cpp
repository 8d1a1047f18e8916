#include "datafiles/MemberDecoder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "datafiles/ArchiveReaderState.h"

namespace datafiles {

namespace {

// Main-loop refill point: fewer than 30 bytes left. At the start of a table set 25, within it 5.
constexpr uint32_t kRefillMainLoop = kInputBufferSize - 30;
constexpr uint32_t kRefillTablesStart = kInputBufferSize - 25;
constexpr uint32_t kRefillTablesLoop = kInputBufferSize - 5;
// Delivery runs when fewer than this many free window positions remain before the flushed ones;
// one step of the main loop writes at most 260 bytes.
constexpr uint32_t kDeliverMargin = 270;

constexpr uint32_t kTableSetSize = kMainSymbols + kDistanceSymbols + kRepeatSymbols;  // 374
constexpr uint32_t kTableChangeSymbol = 269;
constexpr uint32_t kAudioTableChangeSymbol = 256;

// Slot tables: extra bits per slot and the bases they imply (base[i + 1] = base[i] + 2^bits[i]).
template <size_t N>
struct SlotTable {
  uint8_t bits[N];
  uint32_t base[N];
  constexpr SlotTable(const uint8_t (&extraBits)[N]) : bits(), base() {
    uint32_t next = 0;
    for (size_t i = 0; i < N; ++i) {
      bits[i] = extraBits[i];
      base[i] = next;
      next += 1u << extraBits[i];
    }
  }
};

constexpr uint8_t kLengthBits[28] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3,
                                     4, 4, 4, 4, 5, 5, 5, 5};
constexpr uint8_t kDistanceBits[48] = {0,  0,  0,  0,  1,  1,  2,  2,  3,  3,  4,  4,  5,  5,  6,  6,
                                       7,  7,  8,  8,  9,  9,  10, 10, 11, 11, 12, 12, 13, 13, 14, 14,
                                       15, 15, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16};
constexpr uint8_t kShortDistanceBits[8] = {2, 2, 3, 4, 5, 6, 6, 6};

constexpr SlotTable<28> kLengthSlots(kLengthBits);
constexpr SlotTable<48> kDistanceSlots(kDistanceBits);
constexpr SlotTable<8> kShortDistanceSlots(kShortDistanceBits);

static_assert(kLengthSlots.base[27] == 224, "length bases");
static_assert(kDistanceSlots.base[47] == 983040, "distance bases");
static_assert(kShortDistanceSlots.base[7] == 192, "short distance bases");

// 16 bits from bit `bit` (counted from the top) of p[0] on: the same as taking p[0..2] as a 24-bit
// big-endian number shifted right by 8 - bit. Reads p[3] too, which the input slack covers.
inline uint32_t peekAt(const uint8_t* p, uint32_t bit) {
  uint32_t word;
  std::memcpy(&word, p, 4);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  word = __builtin_bswap32(word);
#endif
  return (word << bit) >> 16;
}

uint32_t extraBits(MemberDecoder& d, uint32_t bits) {
  if (bits == 0) return 0;
  const uint32_t value = peekBits(d) >> (16 - bits);
  skipBits(d, bits);
  return value;
}

// The code length of v (a 16-bit code value with its lowest bit clear): the smallest b of 1..14
// with v < limit[b], else 15, found by a binary search (limit never decreases).
__attribute__((always_inline)) inline uint32_t codeLength(const HuffmanTable& t, uint32_t v) {
  const uint32_t* limit = t.limit;
  if (v < limit[8]) {
    if (v < limit[4]) {
      if (v < limit[2]) return v < limit[1] ? 1 : 2;
      return v < limit[3] ? 3 : 4;
    }
    if (v < limit[6]) return v < limit[5] ? 5 : 6;
    return v < limit[7] ? 7 : 8;
  }
  if (v < limit[12]) {
    if (v < limit[10]) return v < limit[9] ? 9 : 10;
    return v < limit[11] ? 11 : 12;
  }
  if (v < limit[14]) return v < limit[13] ? 13 : 14;
  return 15;
}

__attribute__((always_inline)) inline uint32_t symbolAt(const HuffmanTable& t, uint32_t v, uint32_t bits) {
  const uint32_t index = t.firstIndex[bits] + ((v - t.limit[bits - 1]) >> (16 - bits));
  return t.symbols[index < t.symbolCount ? index : 0];
}

// The input seen through a 64-bit register, for runs of symbols in the main loop: the same bits
// as peekBits and skipBits at the same position, with fewer steps between one symbol and the
// next. Reads at most 8 bytes from the position, which the input slack covers.
struct BitRegister {
  const uint8_t* input;
  uint32_t bitPos;  // inputPos * 8 + inputBit
  uint64_t bits = 0;
  uint32_t available = 0;

  __attribute__((always_inline)) void fill() {
    uint64_t word;
    std::memcpy(&word, input + (bitPos >> 3), 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    word = __builtin_bswap64(word);
#endif
    bits = word << (bitPos & 7);
    available = 64 - (bitPos & 7);
  }
  __attribute__((always_inline)) void skip(uint32_t n) {
    bits <<= n;
    available -= n;
    bitPos += n;
  }
  // Extra bits of a slot with n = 0..16 bits: the value `extraBits` gives at the same position.
  __attribute__((always_inline)) uint32_t extra(uint32_t n) {
    if (available < 16) fill();
    const uint32_t value = uint32_t(bits >> 48) >> (16 - n);
    skip(n);
    return value;
  }
  // decodeSymbol on the register.
  __attribute__((always_inline)) uint32_t decode(const HuffmanTable& table) {
    if (available < 16) fill();
    return decodeFilled(table);
  }
  // The same with at least 15 bits known to be in the register.
  __attribute__((always_inline)) uint32_t decodeFilled(const HuffmanTable& table) {
    const uint32_t entry = table.quick[bits >> (64 - kQuickBits)];
    if (entry != 0) {
      // The shift takes the entry's low 6 bits, the code length, as it stands: one step from the
      // table to the next code.
      bits <<= entry & 63;
      available -= entry & 63;
      bitPos += entry & 63;
      return entry >> 6;
    }
    // Codes longer than kQuickBits: rare, but decoded in place, as a call would push the state of
    // the loops that decode out of registers.
    const uint32_t v = uint32_t(bits >> 48) & 0xFFFE;
    const uint32_t length = codeLength(table, v);
    skip(length);
    return symbolAt(table, v, length);
  }
};

}  // namespace

// ---- Bit input ----

void refillInput(ArchiveReaderState& state, bool first) {
  MemberDecoder& d = state.decoder;
  if (first) {
    d.inputEnd = uint32_t(readPacked(state, d.input, kInputBufferSize));
    d.inputPos = 0;
    return;
  }
  // Every refill point lies inside the kept tail, so the position moves with it.
  constexpr uint32_t tail = kInputBufferSize - kInputKeep;
  std::memmove(d.input, d.input + tail, kInputKeep);
  d.inputPos = d.inputPos >= tail ? d.inputPos - tail : d.inputPos & (kInputKeep - 1);
  const uint32_t read = uint32_t(readPacked(state, d.input + kInputKeep, tail));
  // With nothing read, the valid bytes are those of the kept tail that were valid before.
  const uint32_t keptValid = d.inputEnd > tail ? d.inputEnd - tail : 0;
  d.inputEnd = read > 0 ? kInputKeep + read : keptValid;
}

uint32_t peekBits(const MemberDecoder& d) { return peekAt(d.input + d.inputPos, d.inputBit); }

void skipBits(MemberDecoder& d, uint32_t n) {
  d.inputPos += (d.inputBit + n) >> 3;
  d.inputBit = (d.inputBit + n) & 7;
}

// ---- Decode tables ----

void buildDecodeTable(const uint8_t* lengths, uint32_t count, HuffmanTable& table) {
  if (count > kMainSymbols) count = kMainSymbols;
  uint32_t lengthCount[16] = {};
  for (uint32_t i = 0; i < count; ++i) ++lengthCount[lengths[i] & 15];
  lengthCount[0] = 0;

  uint32_t n = 0;
  table.limit[0] = 0;
  table.firstIndex[0] = 0;
  for (int b = 1; b <= 15; ++b) {
    n = 2 * (n + lengthCount[b]);
    const uint32_t limit = n << (15 - b);  // at most 298 << 15: no overflow
    table.limit[b] = limit > 0xFFFF ? 0xFFFF : limit;
    table.firstIndex[b] = table.firstIndex[b - 1] + lengthCount[b - 1];
  }

  // Positions no symbol takes (an incomplete code) decode as symbol 0.
  std::memset(table.symbols, 0, sizeof table.symbols);
  uint32_t next[16];
  std::memcpy(next, table.firstIndex, sizeof next);
  for (uint32_t symbol = 0; symbol < count; ++symbol) {
    const uint32_t len = lengths[symbol] & 15;
    if (len != 0) table.symbols[next[len]++] = uint16_t(symbol);
  }
  table.symbolCount = count;

  // Every code value with the same 10-bit prefix and a code of at most 10 bits decodes alike: the
  // limits up to 10 bits are multiples of 2^6 (or the cap 0xFFFF, above every even value). The
  // prefixes of b-bit codes are those from limit[b - 1] up to limit[b], as the search finds them,
  // each code taking a run of 2^(10 - b) of them.
  uint32_t prefix = 0;
  for (uint32_t bits = 1; bits <= uint32_t(kQuickBits); ++bits) {
    const uint32_t end = (table.limit[bits] + (1u << (16 - kQuickBits)) - 1) >> (16 - kQuickBits);
    const uint32_t run = 1u << (kQuickBits - bits);
    for (uint32_t index = table.firstIndex[bits]; prefix < end; ++index) {
      const uint16_t entry = uint16_t(table.symbols[index < count ? index : 0] << 6 | bits);
      for (const uint32_t stop = std::min(prefix + run, end); prefix < stop; ++prefix) table.quick[prefix] = entry;
    }
  }
  for (; prefix < (1u << kQuickBits); ++prefix) table.quick[prefix] = 0;
}

uint32_t decodeSymbol(MemberDecoder& d, const HuffmanTable& table) {
  const uint32_t v = peekBits(d) & 0xFFFE;
  const uint32_t entry = table.quick[v >> (16 - kQuickBits)];
  if (entry != 0) {
    skipBits(d, entry & 63);
    return entry >> 6;
  }
  const uint32_t bits = codeLength(table, v);
  skipBits(d, bits);
  return symbolAt(table, v, bits);
}

void readCodeTables(ArchiveReaderState& state) {
  MemberDecoder& d = state.decoder;
  if (d.inputPos > kRefillTablesStart) refillInput(state, false);

  const uint32_t header = peekBits(d);
  d.audioMode = (header & 0x8000) != 0;
  if (!(header & 0x4000)) std::memset(d.previousLengths, 0, sizeof d.previousLengths);
  skipBits(d, 2);

  uint32_t setSize = kTableSetSize;
  if (d.audioMode) {
    d.channelCount = ((header >> 12) & 3) + 1;
    if (d.currentChannel >= d.channelCount) d.currentChannel = 0;
    skipBits(d, 2);
    setSize = kAudioSymbols * d.channelCount;
  }

  uint8_t codeLengths[kCodeLengthSymbols];
  for (uint8_t& length : codeLengths) {
    length = uint8_t(peekBits(d) >> 12);
    skipBits(d, 4);
  }
  buildDecodeTable(codeLengths, kCodeLengthSymbols, d.codeLengthTable);

  // Positions beyond the set (after a non-audio set) are sent as zeros to the next set.
  uint8_t lengths[kTableSetLengths] = {};
  for (uint32_t i = 0; i < setSize;) {
    if (d.inputPos > kRefillTablesLoop) refillInput(state, false);
    const uint32_t s = decodeSymbol(d, d.codeLengthTable);
    if (s < 16) {
      lengths[i] = uint8_t((s + d.previousLengths[i]) & 15);
      ++i;
      continue;
    }
    uint32_t run;
    uint8_t value = 0;
    if (s == 16) {
      run = (peekBits(d) >> 14) + 3;
      skipBits(d, 2);
      // A repeat with nothing before it repeats a zero length.
      value = i > 0 ? lengths[i - 1] : 0;
    } else if (s == 17) {
      run = (peekBits(d) >> 13) + 3;
      skipBits(d, 3);
    } else {
      run = (peekBits(d) >> 9) + 11;
      skipBits(d, 7);
    }
    for (; run > 0 && i < setSize; --run) lengths[i++] = value;
  }

  if (d.audioMode) {
    for (uint32_t c = 0; c < d.channelCount; ++c)
      buildDecodeTable(lengths + c * kAudioSymbols, kAudioSymbols, d.audioTables[c]);
  } else {
    buildDecodeTable(lengths, kMainSymbols, d.mainTable);
    buildDecodeTable(lengths + kMainSymbols, kDistanceSymbols, d.distanceTable);
    buildDecodeTable(lengths + kMainSymbols + kDistanceSymbols, kRepeatSymbols, d.repeatTable);
  }
  std::memcpy(d.previousLengths, lengths, sizeof lengths);
}

void readFinalTables(ArchiveReaderState& state) {
  MemberDecoder& d = state.decoder;
  if (d.inputEnd < d.inputPos + 5) return;
  if (d.audioMode) {
    if (decodeSymbol(d, d.audioTables[d.currentChannel]) == kAudioTableChangeSymbol) readCodeTables(state);
  } else if (decodeSymbol(d, d.mainTable) == kTableChangeSymbol) {
    readCodeTables(state);
  }
}

// ---- Output ----

namespace {

inline uint32_t magnitude(int32_t x) { return uint32_t(x < 0 ? -x : x); }

// One sample of channel state v; crossDelta is shared by all channels.
inline uint8_t predictSample(AudioChannelState& v, int32_t& crossDelta, uint32_t symbol) {
  v.sampleCount += 1;
  v.delta4 = v.delta3;
  v.delta3 = v.delta2;
  v.delta2 = v.ownDelta - v.delta1;
  v.delta1 = v.ownDelta;
  const int32_t d1 = v.delta1, d2 = v.delta2, d3 = v.delta3, d4 = v.delta4, dc = crossDelta;

  const int32_t sum = 8 * v.lastValue + v.w1 * d1 + v.w2 * d2 + v.w3 * d3 + v.w4 * d4 + v.w5 * dc;
  const int32_t predicted = (sum >> 3) & 0xFF;
  const int32_t value = predicted - int32_t(symbol);

  const int32_t e = int32_t(int8_t(uint8_t(symbol))) * 8;
  uint32_t* const sums = v.errorSums;
  sums[0] += magnitude(e);
  sums[1] += magnitude(e - d1);
  sums[2] += magnitude(e + d1);
  sums[3] += magnitude(e - d2);
  sums[4] += magnitude(e + d2);
  sums[5] += magnitude(e - d3);
  sums[6] += magnitude(e + d3);
  sums[7] += magnitude(e - d4);
  sums[8] += magnitude(e + d4);
  sums[9] += magnitude(e - dc);
  sums[10] += magnitude(e + dc);

  v.ownDelta = crossDelta = int32_t(int8_t(uint8_t(value - v.lastValue)));
  v.lastValue = value;

  if ((v.sampleCount & 31) == 0) {
    int best = 0;
    for (int i = 1; i < 11; ++i)
      if (sums[i] < sums[best]) best = i;
    std::memset(sums, 0, sizeof v.errorSums);
    // Odd indices lower a weight, even ones raise it: 1 and 2 act on w1, ..., 9 and 10 on w5.
    if (best != 0) {
      int32_t* const weights[5] = {&v.w1, &v.w2, &v.w3, &v.w4, &v.w5};
      int32_t& w = *weights[(best - 1) / 2];
      if (best & 1) {
        if (w >= -16) --w;
      } else if (w < 16) {
        ++w;
      }
    }
  }
  return uint8_t(value);
}

}  // namespace

uint8_t predictAudioByte(MemberDecoder& d, uint32_t symbol) {
  return predictSample(d.channels[d.currentChannel], d.crossDelta, symbol);
}

void copyMatch(ArchiveReaderState& state, uint32_t length, uint32_t distance) {
  MemberDecoder& d = state.decoder;
  d.recentDistances[d.recentIndex & 3] = distance;
  d.recentIndex += 1;
  d.lastMatchDistance = distance;
  d.lastMatchLength = length;
  d.bytesToProduce -= length;

  uint8_t* const window = state.window.get();
  uint32_t dst = d.writePos & kWindowMask;
  uint32_t src = (dst - distance) & kWindowMask;
  if (dst + length >= kWindowSize) state.windowDirty = kWindowSize;  // reaches the window's end
  if (dst + length <= kWindowSize && src + length <= kWindowSize && src < dst) {
    // No wrap on either side. Bytes are copied in order, so a distance below the length repeats
    // the bytes just written; chunks of 8 keep that meaning when the distance is at least 8.
    uint8_t* out = window + dst;
    const uint8_t* in = window + src;
    if (distance >= length) {
      std::memcpy(out, in, length);
    } else if (distance >= 8) {
      uint32_t i = 0;
      for (; i + 8 <= length; i += 8) std::memcpy(out + i, in + i, 8);
      for (; i < length; ++i) out[i] = in[i];
    } else {
      for (uint32_t i = 0; i < length; ++i) out[i] = in[i];
    }
    d.writePos = (dst + length) & kWindowMask;
    return;
  }
  for (uint32_t i = 0; i < length; ++i) {
    window[dst] = window[src];
    dst = (dst + 1) & kWindowMask;
    src = (src + 1) & kWindowMask;
  }
  d.writePos = dst;
}

void deliverWindow(ArchiveReaderState& state) {
  MemberDecoder& d = state.decoder;
  const uint32_t from = d.flushedPos & kWindowMask;
  const uint32_t to = d.writePos & kWindowMask;
  d.flushedPos = to;
  if (!state.output) return;
  const uint32_t count = (to - from) & kWindowMask;
  if (uint64_t(state.delivered) + count > state.fileHeader.unpSize) {
    d.bytesToProduce = -1;
    return;
  }
  const uint8_t* window = state.window.get();
  uint8_t* out = state.output + state.delivered;
  if (to >= from) {
    std::memcpy(out, window + from, count);
  } else {
    std::memcpy(out, window + from, kWindowSize - from);
    std::memcpy(out + (kWindowSize - from), window, to);
  }
  state.delivered += count;
}

void clearWindow(ArchiveReaderState& state) {
  std::memset(state.window.get(), 0, state.windowDirty);
  state.windowDirty = 0;
}

// ---- The decompressor ----

namespace {

void resetDecoder(ArchiveReaderState& state) {
  MemberDecoder& d = state.decoder;
  d.crossDelta = 0;
  d.currentChannel = 0;
  for (AudioChannelState& c : d.channels) c = AudioChannelState();
  std::memset(d.recentDistances, 0, sizeof d.recentDistances);
  std::memset(d.previousLengths, 0, sizeof d.previousLengths);
  d.recentIndex = 0;
  d.lastMatchDistance = 0;
  d.lastMatchLength = 0;
  d.writePos = 0;
  d.flushedPos = 0;
  clearWindow(state);
}

// True once the bits used run past the valid input: the packed data has run out.
bool inputExhausted(uint32_t pos, uint32_t bit, uint32_t end) { return pos > end || (pos == end && bit > 0); }

// Everything in the main loop but literals, on the decoder's fields.
void decodeNonLiteral(ArchiveReaderState& state, uint32_t s) {
  MemberDecoder& d = state.decoder;
  if (s >= 270) {
    const uint32_t slot = s - 270;
    uint32_t length = kLengthSlots.base[slot] + 3 + extraBits(d, kLengthSlots.bits[slot]);
    const uint32_t ds = decodeSymbol(d, d.distanceTable);
    const uint32_t distance = kDistanceSlots.base[ds] + 1 + extraBits(d, kDistanceSlots.bits[ds]);
    if (distance >= 0x2000) ++length;
    if (distance >= 0x40000) ++length;
    copyMatch(state, length, distance);
  } else if (s == kTableChangeSymbol) {
    readCodeTables(state);
  } else if (s == 256) {
    copyMatch(state, d.lastMatchLength, d.lastMatchDistance);
  } else if (s <= 260) {
    const uint32_t distance = d.recentDistances[(d.recentIndex - (s - 256)) & 3];
    const uint32_t r = decodeSymbol(d, d.repeatTable);
    uint32_t length = kLengthSlots.base[r] + 2 + extraBits(d, kLengthSlots.bits[r]);
    if (distance >= 0x101) ++length;
    if (distance >= 0x2000) ++length;
    if (distance >= 0x40000) ++length;
    copyMatch(state, length, distance);
  } else {
    const uint32_t slot = s - 261;
    const uint32_t distance = kShortDistanceSlots.base[slot] + 1 + extraBits(d, kShortDistanceSlots.bits[slot]);
    copyMatch(state, 2, distance);
  }
}

// One step of the main loop as written out, on the decoder's fields, for the few steps the runs
// below cannot take (near the window's end or a delivery).
void singleStep(ArchiveReaderState& state) {
  MemberDecoder& d = state.decoder;
  if (d.audioMode) {
    const uint32_t s = decodeSymbol(d, d.audioTables[d.currentChannel]);
    if (s == kAudioTableChangeSymbol) {
      readCodeTables(state);
      return;
    }
    state.window[d.writePos] = predictAudioByte(d, s);
    d.writePos += 1;
    if (++d.currentChannel >= d.channelCount) d.currentChannel = 0;
    d.bytesToProduce -= 1;
    return;
  }
  const uint32_t s = decodeSymbol(d, d.mainTable);
  if (s < 256) {
    state.window[d.writePos] = uint8_t(s);
    d.writePos += 1;
    d.bytesToProduce -= 1;
    return;
  }
  decodeNonLiteral(state, s);
}

// ---- Runs: many steps between the per-step checks ----
//
// A run takes steps of the main loop while none of the checks made before each step can fire: the
// bit position stays below `bitLimit` (no refill, input not exhausted), the write position stays at
// or below `stop` (no delivery, no wrap of the window, room for the longest match), and bytes remain
// to be produced. Each step decodes exactly what the plain loop decodes; the hot fields live in
// locals for the run and go back to the decoder at its end.

struct RunLimits {
  uint32_t bitLimit;  // steps start only at bit positions below this
  uint32_t stop;      // ... and at window positions at or below this
};

// Bytes a step may write past its start in a run of literals and matches: the longest match
// (260) and a 16-byte tail copy that reads and writes back the bytes after it.
constexpr uint32_t kMatchRoom = 260 + 16;

using Bytes16 = uint8_t __attribute__((vector_size(16)));

inline Bytes16 load16(const uint8_t* p) {
  Bytes16 v;
  std::memcpy(&v, p, 16);
  return v;
}
inline void store16(uint8_t* p, Bytes16 v) { std::memcpy(p, &v, 16); }

// 16 x 0xFF then 16 x 0: the 16 bytes from kTailMask + 16 - r select the first r bytes.
alignas(16) constexpr uint8_t kTailMask[32] = {255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255,
                                               255, 255, 255, 255, 255};

// The first `period` bytes of v, repeated over all 16.
template <uint32_t P>
inline Bytes16 repeatFirst(Bytes16 v) {
  return __builtin_shufflevector(v, v, 0 % P, 1 % P, 2 % P, 3 % P, 4 % P, 5 % P, 6 % P, 7 % P, 8 % P, 9 % P,
                                 10 % P, 11 % P, 12 % P, 13 % P, 14 % P, 15 % P);
}
inline Bytes16 repeatedPattern(Bytes16 v, uint32_t period) {
  switch (period) {
    case 1: return repeatFirst<1>(v);
    case 2: return repeatFirst<2>(v);
    case 3: return repeatFirst<3>(v);
    case 4: return repeatFirst<4>(v);
    case 5: return repeatFirst<5>(v);
    case 6: return repeatFirst<6>(v);
    case 7: return repeatFirst<7>(v);
    case 8: return repeatFirst<8>(v);
    case 9: return repeatFirst<9>(v);
    case 10: return repeatFirst<10>(v);
    case 11: return repeatFirst<11>(v);
    case 12: return repeatFirst<12>(v);
    case 13: return repeatFirst<13>(v);
    case 14: return repeatFirst<14>(v);
    default: return repeatFirst<15>(v);
  }
}

// copyMatch's bytes for a match starting at dst, which neither wraps nor comes within 16 bytes of
// the window's end. The bytes come out as if copied one at a time, front to back.
// Every access lies inside the window: the writes by the check below (the runs' limits keep to
// it; a fault there stops the program rather than write past the window), the reads by the
// branches on src.
inline void copyInWindow(uint8_t* window, uint32_t dst, uint32_t distance, uint32_t length) {
  if (dst + length + 16 > kWindowSize) std::abort();
  const uint32_t src = (dst - distance) & kWindowMask;
  if (src + length + 16 > kWindowSize) {
    // The source lies ahead of dst (the distance reaches back past the window's start), near the
    // end. Reads ahead of every write see the older bytes, as memmove's do; only a source that
    // wraps to the start within the match goes position by position.
    if (src + length <= kWindowSize) {
      std::memmove(window + dst, window + src, length);
      return;
    }
    for (uint32_t i = 0; i < length; ++i) window[dst + i] = window[(src + i) & kWindowMask];
    return;
  }
  uint8_t* const out = window + dst;
  const uint8_t* const in = window + src;
  const int32_t back = int32_t(dst) - int32_t(src);
  if (back >= 16 || back < 0) {
    // Each 16-byte load reads bytes already final: at least 16 behind, or ahead of every write
    // (a source ahead holds the window's older bytes, which a byte-wise copy reads too).
    uint32_t i = 0;
    for (; i + 16 <= length; i += 16) store16(out + i, load16(in + i));
    // The last 0..15 bytes: merged into the bytes already there, which go back unchanged.
    const Bytes16 select = load16(kTailMask + 16 - (length - i));
    store16(out + i, (load16(in + i) & select) | (load16(out + i) & ~select));
  } else if (back >= 1) {
    // The `back` bytes behind out, repeated: 16 bytes of the pattern stored at every multiple of
    // the longest whole number of periods that fits in 16 bytes.
    const Bytes16 p = repeatedPattern(load16(in), uint32_t(back));
    const uint32_t step = uint32_t(back) * (16 / uint32_t(back));
    uint32_t i = 0;
    for (; i + 16 <= length; i += step) store16(out + i, p);
    const Bytes16 select = load16(kTailMask + 16 - (length - i));
    store16(out + i, (p & select) | (load16(out + i) & ~select));
  }
  // back == 0 (a distance of the whole window): every byte is copied onto itself.
}

// Literals and matches. Returns true when it stopped at the table-change code (already read).
bool runLz(MemberDecoder& d, uint8_t* const window, uint32_t& bitPos, uint32_t& writePos, int64_t& left,
           const RunLimits limits) {
  BitRegister in{d.input, bitPos};
  uint32_t w = writePos;
  // Bytes still to produce are left - (w - writePos): a step starts while that is not negative,
  // i.e. at window positions up to writePos + left.
  const uint32_t stop = uint32_t(std::min<int64_t>(limits.stop, int64_t(writePos) + left));
  uint32_t recent[4];
  std::memcpy(recent, d.recentDistances, sizeof recent);
  uint32_t recentIndex = d.recentIndex, lastDistance = d.lastMatchDistance, lastLength = d.lastMatchLength;
  const HuffmanTable& mainTable = d.mainTable;
  const HuffmanTable& distanceTable = d.distanceTable;
  const HuffmanTable& repeatTable = d.repeatTable;
  bool tableChange = false;

  while (w <= stop && in.bitPos < limits.bitLimit) {
    const uint32_t s = in.decode(mainTable);
    if (s < 256) {
      window[w++] = uint8_t(s);
      continue;
    }
    uint32_t length, distance;
    if (s >= 270) {
      const uint32_t slot = s - 270;
      length = kLengthSlots.base[slot] + 3 + in.extra(kLengthSlots.bits[slot]);
      const uint32_t ds = in.decode(distanceTable);
      distance = kDistanceSlots.base[ds] + 1 + in.extra(kDistanceSlots.bits[ds]);
      length += uint32_t(distance >= 0x2000) + uint32_t(distance >= 0x40000);
    } else if (s == kTableChangeSymbol) {
      tableChange = true;
      break;
    } else if (s == 256) {
      length = lastLength;
      distance = lastDistance;
    } else if (s <= 260) {
      distance = recent[(recentIndex - (s - 256)) & 3];
      const uint32_t r = in.decode(repeatTable);
      length = kLengthSlots.base[r] + 2 + in.extra(kLengthSlots.bits[r]);
      length += uint32_t(distance >= 0x101) + uint32_t(distance >= 0x2000) + uint32_t(distance >= 0x40000);
    } else {
      const uint32_t slot = s - 261;
      distance = kShortDistanceSlots.base[slot] + 1 + in.extra(kShortDistanceSlots.bits[slot]);
      length = 2;
    }
    recent[recentIndex & 3] = distance;
    ++recentIndex;
    lastDistance = distance;
    lastLength = length;
    copyInWindow(window, w, distance, length);
    w += length;
  }

  std::memcpy(d.recentDistances, recent, sizeof recent);
  d.recentIndex = recentIndex;
  d.lastMatchDistance = lastDistance;
  d.lastMatchLength = lastLength;
  bitPos = in.bitPos;
  left -= w - writePos;
  writePos = w;
  return tableChange;
}

// ---- Audio runs ----
//
// The predictor works on the own deltas o1..o5 of a channel's last five samples: delta1 = o1,
// delta2 = o1 - o2, delta3 = o2 - o3, delta4 = o3 - o4 (and the state's delta4 after a sample is
// o4 - o5). The prediction 8 lastValue + w1 delta1 + ... + w5 crossDelta is then the same 32-bit
// sum as 8 lastValue + (w1 + w2) o1 + (w3 - w2) o2 + (w4 - w3) o3 - w4 o4 + w5 crossDelta.
//
// Samples go in batches of whole rounds (one sample of every channel, channel 0 first) that end
// where a channel fills its block of 32. A batch logs every sample in decoding order (symbol, own
// delta, value), so that a sample's older deltas and last value are loads at fixed distances
// behind it and the loop keeps only the cross delta in a register; the error sums of the batch are
// made from the log afterwards, 8 samples at a time, and the weights adjusted between batches.
// Samples the batches cannot take (a round under way, the bounds near, a cross delta that is not
// the last channel's own delta) go one at a time with every check.

using Lanes16 = int16_t __attribute__((vector_size(16)));

constexpr uint32_t kBlock = 32;
constexpr uint32_t kBatchMax = kBlock * kMaxChannels;  // samples
constexpr uint32_t kLead = 5 * kMaxChannels;           // logged samples before a batch
constexpr uint32_t kMinRounds = 4;

// One channel's predictor: weights, the combined weights of the sum above, the own deltas of its
// last five samples, its last value, its sample count and the error sums of its current block.
struct Lane {
  int32_t w[5];
  int32_t k[5];
  int32_t o[5];  // o[0] = o1 (the newest) .. o[4] = o5
  int32_t lastValue;
  uint32_t sampleCount;
  uint32_t sums[11];
};

inline void combineWeights(Lane& l) {
  l.k[0] = l.w[0] + l.w[1];
  l.k[1] = l.w[2] - l.w[1];
  l.k[2] = l.w[3] - l.w[2];
  l.k[3] = -l.w[3];
  l.k[4] = l.w[4];
}

// The end of a block of 32: the smallest sum (the lowest index on ties) names the weight to lower
// (odd index) or raise (even index); index 0 changes nothing. Without branches on the sums, which
// follow the signal.
inline void endBlock(Lane& lane) {
  const uint32_t* const sums = lane.sums;
  uint32_t best = 0, bestSum = sums[0];
  for (uint32_t i = 1; i < 11; ++i) {
    const bool smaller = sums[i] < bestSum;
    best = smaller ? i : best;
    bestSum = smaller ? sums[i] : bestSum;
  }
  int32_t* const w = lane.w;
  for (uint32_t k = 0; k < 5; ++k) {
    const int32_t lower = int32_t(best == 2 * k + 1) & int32_t(w[k] >= -16);
    const int32_t raise = int32_t(best == 2 * k + 2) & int32_t(w[k] < 16);
    w[k] += raise - lower;
  }
  std::memset(lane.sums, 0, sizeof lane.sums);
  combineWeights(lane);
}

// Adds one sample's error terms: e is the symbol as a signed byte times 8, x the deltas it was
// compared with (delta1 .. delta4, crossDelta).
inline void addErrors(uint32_t sums[11], int32_t e, const int32_t x[5]) {
  sums[0] += magnitude(e);
  for (int k = 0; k < 5; ++k) {
    sums[1 + 2 * k] += magnitude(e - x[k]);
    sums[2 + 2 * k] += magnitude(e + x[k]);
  }
}

// The log of a batch: entry kLead + n belongs to its sample n, entries below kLead to the samples
// before it (filled from the lanes).
struct BatchLog {
  alignas(16) int16_t own[kLead + kBatchMax + 8];
  alignas(16) int16_t value[kLead + kBatchMax + 8];
  alignas(16) int16_t symbol[kBatchMax + 8];
};

inline Lanes16 lanesAt(const int16_t* p) {
  Lanes16 v;
  std::memcpy(&v, p, 16);
  return v;
}
inline Lanes16 abs16(Lanes16 x) {
  const Lanes16 sign = x >> 15;
  return (x ^ sign) - sign;
}

// The error sums of samples [0, count) of a batch of C channels, added to their lanes. With C
// dividing 8, lane j of every 8 samples belongs to channel j % C; lanes gather at most 16 terms of
// at most 1,279 each, within int16.
// The sums run in a second version for processors with AVX2 where the compiler can make one
// (three-operand forms), chosen once when the program starts.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__)
#define VX_SUMS_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define VX_SUMS_CLONES
#endif

// 8 x -1 then 8 x 0: the 8 lanes from kKeepLanes + 8 - r keep the first r.
constexpr int16_t kKeepLanes[16] = {-1, -1, -1, -1, -1, -1, -1, -1};

template <uint32_t C>
__attribute__((noinline)) VX_SUMS_CLONES void batchSums(const BatchLog& log, uint32_t count, Lane* lanes) {
  const int16_t* const own = log.own + kLead;
  if constexpr (8 % C != 0) {
    for (uint32_t n = 0; n < count; ++n) {
      const int i = int(n), c = int(C);
      const int32_t o1 = own[i - c], o2 = own[i - 2 * c], o3 = own[i - 3 * c], o4 = own[i - 4 * c];
      const int32_t x[5] = {o1, o1 - o2, o2 - o3, o3 - o4, own[i - 1]};
      addErrors(lanes[n % C].sums, int32_t(log.symbol[n]) * 8, x);
    }
  } else {
    Lanes16 acc[11] = {};
    // Whole groups of 8 samples, then the rest with the lanes past `count` masked off.
    auto group = [&](uint32_t n, Lanes16 keep) __attribute__((always_inline)) {
      const Lanes16 e = lanesAt(log.symbol + n) << 3;
      const Lanes16 o1 = lanesAt(own + n - C), o2 = lanesAt(own + n - 2 * C), o3 = lanesAt(own + n - 3 * C),
                    o4 = lanesAt(own + n - 4 * C);
      const Lanes16 x[5] = {o1, o1 - o2, o2 - o3, o3 - o4, lanesAt(own + n - 1)};
      acc[0] += abs16(e) & keep;
      for (int k = 0; k < 5; ++k) {
        acc[1 + 2 * k] += abs16(e - x[k]) & keep;
        acc[2 + 2 * k] += abs16(e + x[k]) & keep;
      }
    };
    const uint32_t whole = count & ~7u;
    for (uint32_t n = 0; n < whole; n += 8) group(n, Lanes16{} - 1);
    if (whole < count) group(whole, lanesAt(kKeepLanes + 8 - (count - whole)));
    for (int k = 0; k < 11; ++k) {
      uint16_t lane[8];
      std::memcpy(lane, &acc[k], sizeof lane);
      uint32_t total[C] = {};
      for (uint32_t j = 0; j < 8; ++j) total[j % C] += lane[j];
      for (uint32_t c = 0; c < C; ++c) lanes[c].sums[k] += total[c];
    }
  }
}

template <uint32_t c>
using Channel = std::integral_constant<uint32_t, c>;

template <uint32_t C>
__attribute__((noinline)) bool runAudio(MemberDecoder& d, uint8_t* const window, uint32_t& bitPos,
                                        uint32_t& writePos, int64_t& left, const RunLimits limits) {
  BitRegister in{d.input, bitPos};
  uint32_t w = writePos;
  // Samples left by the write position and by the bytes to produce.
  uint32_t budget = uint32_t(std::min<uint64_t>(uint64_t(left) + 1, limits.stop - writePos + 1));
  const uint32_t bitLimit = limits.bitLimit;
  int32_t cross = d.crossDelta;
  Lane lanes[C];
  for (uint32_t c = 0; c < C; ++c) {
    const AudioChannelState& v = d.channels[c];
    Lane& l = lanes[c];
    l.w[0] = v.w1, l.w[1] = v.w2, l.w[2] = v.w3, l.w[3] = v.w4, l.w[4] = v.w5;
    combineWeights(l);
    // Own deltas behind the state's deltas; exact for any state.
    l.o[0] = v.ownDelta;
    l.o[1] = v.delta1;
    l.o[2] = l.o[1] - v.delta2;
    l.o[3] = l.o[2] - v.delta3;
    l.o[4] = l.o[3] - v.delta4;
    l.lastValue = v.lastValue;
    l.sampleCount = v.sampleCount;
    std::memcpy(l.sums, v.errorSums, sizeof l.sums);
  }
  uint32_t next = d.currentChannel < C ? d.currentChannel : 0;  // channel of the next sample
  bool tableChange = false;
  // Zeros to start with: the lanes past the end of a batch that the sums mask off read only
  // entries made by earlier batches or these, all within the bounds the int16 lanes rely on.
  BatchLog log = {};

  for (;;) {
    uint32_t rounds = kBlock;
    for (uint32_t c = 0; c < C; ++c) rounds = std::min(rounds, kBlock - lanes[c].sampleCount % kBlock);
    rounds = std::min(rounds, budget / C);
    // A round takes at most 15 bits per channel.
    rounds = in.bitPos < bitLimit ? std::min(rounds, (bitLimit - in.bitPos) / (15 * C)) : 0;

    // Batches of a few rounds (channels whose blocks end a round or two apart) cost more to set up
    // and sum than the samples one at a time.
    if (next == 0 && rounds >= kMinRounds && cross == lanes[C - 1].o[0]) {
      // A batch. The samples before it, as the loop reads them.
      for (uint32_t c = 0; c < C; ++c) {
        for (uint32_t m = 1; m <= 5; ++m) log.own[kLead + c - m * C] = int16_t(lanes[c].o[m - 1]);
        log.value[kLead + c - C] = int16_t(lanes[c].lastValue);
      }
      int16_t* const own = log.own + kLead;
      int16_t* const value = log.value + kLead;
      uint8_t* const out = window + w;
      uint32_t n = 0;
      const uint32_t end = rounds * C;
      // The combined weights in locals that no store can reach. With one channel the cross delta
      // is the channel's own last delta throughout the batch: its weight joins that of o1.
      int32_t k[C][5];
      for (uint32_t c = 0; c < C; ++c) {
        for (uint32_t j = 0; j < 5; ++j) k[c][j] = lanes[c].k[j];
        if (C == 1) k[c][0] += k[c][4];
      }
      auto sample = [&](auto channel) __attribute__((always_inline)) -> bool {
        constexpr uint32_t c = decltype(channel)::value;
        const uint32_t s = in.decodeFilled(d.audioTables[c]);
        if (s == kAudioTableChangeSymbol) return false;
        const int i = int(n + c), back = int(C);
        const int32_t last = value[i - back];
        int32_t sum = 8 * last + k[c][0] * own[i - back] + k[c][1] * own[i - 2 * back] +
                      k[c][2] * own[i - 3 * back] + k[c][3] * own[i - 4 * back];
        if constexpr (C > 1) sum += k[c][4] * cross;
        const int32_t result = ((sum >> 3) & 0xFF) - int32_t(s);
        const int32_t ownDelta = int32_t(int8_t(uint8_t(result - last)));
        if constexpr (C > 1) cross = ownDelta;
        own[i] = int16_t(ownDelta);
        value[i] = int16_t(result);
        log.symbol[i] = int16_t(int8_t(uint8_t(s)));
        out[i] = uint8_t(result);
        return true;
      };
      bool stopped = false;
      for (; n < end; n += C) {
        // Three codes fit in a filled register (at least 57 bits).
        if (in.available < 15 * std::min<uint32_t>(C, 3)) in.fill();
        if (!sample(Channel<0>())) {
          stopped = true;
          break;
        }
        if constexpr (C > 1) {
          if (!sample(Channel<1>())) {
            stopped = true, n += 1;
            break;
          }
        }
        if constexpr (C > 2) {
          if (!sample(Channel<2>())) {
            stopped = true, n += 2;
            break;
          }
        }
        if constexpr (C > 3) {
          if (in.available < 15) in.fill();
          if (!sample(Channel<3>())) {
            stopped = true, n += 3;
            break;
          }
        }
      }
      // n samples made; the next one is channel n % C.
      if (C == 1) cross = own[int(n) - 1];
      batchSums<C>(log, n, lanes);
      for (uint32_t c = 0; c < C; ++c) {
        Lane& l = lanes[c];
        const uint32_t made = n > c ? (n - c + C - 1) / C : 0;
        const int newest = int(c + made * C) - int(C);  // may lie before the batch
        for (uint32_t m = 0; m < 5; ++m) l.o[m] = own[newest - int(m * C)];
        l.lastValue = value[newest];
        l.sampleCount += made;
        if (made > 0 && l.sampleCount % kBlock == 0) endBlock(l);
      }
      w += n;
      budget -= n;
      next = n % C;
      if (stopped) {
        tableChange = true;
        break;
      }
      continue;
    }

    // One sample with every check.
    if (budget == 0 || in.bitPos >= bitLimit) break;
    if (in.available < 15) in.fill();
    const uint32_t s = in.decodeFilled(d.audioTables[next]);
    if (s == kAudioTableChangeSymbol) {
      tableChange = true;
      break;
    }
    Lane& v = lanes[next];
    const int32_t sum = 8 * v.lastValue + v.k[0] * v.o[0] + v.k[1] * v.o[1] + v.k[2] * v.o[2] +
                        v.k[3] * v.o[3] + v.k[4] * cross;
    const int32_t result = ((sum >> 3) & 0xFF) - int32_t(s);
    const int32_t x[5] = {v.o[0], v.o[0] - v.o[1], v.o[1] - v.o[2], v.o[2] - v.o[3], cross};
    addErrors(v.sums, int32_t(int8_t(uint8_t(s))) * 8, x);
    cross = int32_t(int8_t(uint8_t(result - v.lastValue)));
    std::memmove(v.o + 1, v.o, 4 * sizeof v.o[0]);
    v.o[0] = cross;
    v.lastValue = result;
    window[w++] = uint8_t(result);
    budget -= 1;
    if (++v.sampleCount % kBlock == 0) endBlock(v);
    next = next + 1 == C ? 0 : next + 1;
  }

  for (uint32_t c = 0; c < C; ++c) {
    AudioChannelState& v = d.channels[c];
    const Lane& l = lanes[c];
    v.w1 = l.w[0], v.w2 = l.w[1], v.w3 = l.w[2], v.w4 = l.w[3], v.w5 = l.w[4];
    v.ownDelta = l.o[0];
    v.delta1 = l.o[1];
    v.delta2 = l.o[1] - l.o[2];
    v.delta3 = l.o[2] - l.o[3];
    v.delta4 = l.o[3] - l.o[4];
    v.lastValue = l.lastValue;
    v.sampleCount = l.sampleCount;
    std::memcpy(v.errorSums, l.sums, sizeof v.errorSums);
  }
  d.crossDelta = cross;
  d.currentChannel = next;
  left -= w - writePos;
  bitPos = in.bitPos;
  writePos = w;
  return tableChange;
}

}  // namespace

void decompressMember(ArchiveReaderState& state) {
  MemberDecoder& d = state.decoder;
  const bool continuesSolid = (state.fileHeader.flags & 0x0010) != 0;
  d.inputPos = 0;
  d.inputBit = 0;
  if (!continuesSolid) resetDecoder(state);
  refillInput(state, true);
  if (!continuesSolid) readCodeTables(state);

  // The hottest fields live in locals; they are written back around every call that uses the
  // decoder's fields.
  uint8_t* const window = state.window.get();
  uint32_t pos = d.inputPos, bit = d.inputBit, writePos = d.writePos;
  int64_t left = d.bytesToProduce - 1;
  uint32_t inputEnd = d.inputEnd, flushedPos = d.flushedPos;
  auto store = [&] {
    d.inputPos = pos;
    d.inputBit = bit;
    d.writePos = writePos;
    d.bytesToProduce = left;
  };
  auto load = [&] {
    pos = d.inputPos;
    bit = d.inputBit;
    writePos = d.writePos;
    left = d.bytesToProduce;
    inputEnd = d.inputEnd;
    flushedPos = d.flushedPos;
  };

  while (left >= 0) {
    // The checks made before every step.
    if (writePos >= kWindowSize) state.windowDirty = kWindowSize;  // the writes reached the end
    writePos &= kWindowMask;
    if (pos > kRefillMainLoop) {
      store();
      refillInput(state, false);
      load();
    }
    if (inputExhausted(pos, bit, inputEnd)) {
      left = -1;
      break;
    }
    if (((flushedPos - writePos) & kWindowMask) < kDeliverMargin && flushedPos != writePos) {
      store();
      deliverWindow(state);
      load();
      if (left < 0) break;
    }

    // The steps until one of those checks could fire again run without them: the bit position
    // stays at or before the refill point and the end of the valid input, and the write position
    // stays kDeliverMargin short of the flushed bytes and clear of the window's end.
    const uint32_t free = flushedPos == writePos ? kWindowSize : (flushedPos - writePos) & kWindowMask;
    const uint32_t room = d.audioMode ? 1 : kMatchRoom;
    const RunLimits limits{std::min((kRefillMainLoop + 1) * 8, inputEnd * 8 + 1),
                           std::min(writePos + (free - kDeliverMargin), kWindowSize - room)};
    if (writePos > limits.stop) {
      store();
      singleStep(state);
      load();
      continue;
    }
    uint32_t bitPos = pos * 8 + bit;
    bool tableChange;
    if (!d.audioMode) {
      tableChange = runLz(d, window, bitPos, writePos, left, limits);
    } else {
      switch (d.channelCount) {
        case 1: tableChange = runAudio<1>(d, window, bitPos, writePos, left, limits); break;
        case 2: tableChange = runAudio<2>(d, window, bitPos, writePos, left, limits); break;
        case 3: tableChange = runAudio<3>(d, window, bitPos, writePos, left, limits); break;
        default: tableChange = runAudio<4>(d, window, bitPos, writePos, left, limits); break;
      }
    }
    pos = bitPos >> 3;
    bit = bitPos & 7;
    if (tableChange) {
      store();
      readCodeTables(state);
      load();
    }
  }
  store();
  // Bytes are written from the member's start position on, so unless they reached the window's
  // end (marked where that happens), the window is clean from the write position up.
  state.windowDirty = std::max(state.windowDirty, std::min(d.writePos, kWindowSize));
  readFinalTables(state);
  deliverWindow(state);
  d.flushedPos = d.writePos;
}

}  // namespace datafiles
