#include "datafiles/MemberDecoder.h"

#include <algorithm>
#include <cstring>

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
uint32_t codeLength(const HuffmanTable& t, uint32_t v) {
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

uint32_t symbolAt(const HuffmanTable& t, uint32_t v, uint32_t bits) {
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

  void fill() {
    uint64_t word;
    std::memcpy(&word, input + (bitPos >> 3), 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    word = __builtin_bswap64(word);
#endif
    bits = word << (bitPos & 7);
    available = 64 - (bitPos & 7);
  }
  void skip(uint32_t n) {
    bits <<= n;
    available -= n;
    bitPos += n;
  }
  // decodeSymbol on the register.
  uint32_t decode(const HuffmanTable& table) {
    if (available < 16) fill();
    const uint32_t v = uint32_t(bits >> 48) & 0xFFFE;
    const uint32_t entry = table.quick[v >> (16 - kQuickBits)];
    if (entry != 0) {
      skip(entry >> 12);
      return entry & 0xFFF;
    }
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
  // limits up to 10 bits are multiples of 2^6 (or the cap 0xFFFF, above every even value).
  for (uint32_t prefix = 0; prefix < (1u << kQuickBits); ++prefix) {
    const uint32_t v = prefix << (16 - kQuickBits);
    const uint32_t bits = codeLength(table, v);
    table.quick[prefix] = bits <= uint32_t(kQuickBits) ? uint16_t(bits << 12 | symbolAt(table, v, bits)) : 0;
  }
}

uint32_t decodeSymbol(MemberDecoder& d, const HuffmanTable& table) {
  const uint32_t v = peekBits(d) & 0xFFFE;
  const uint32_t entry = table.quick[v >> (16 - kQuickBits)];
  if (entry != 0) {
    skipBits(d, entry >> 12);
    return entry & 0xFFF;
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
  std::memset(state.window.get(), 0, kWindowSize);
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


}  // namespace

void decompressMember(ArchiveReaderState& state) {
  MemberDecoder& d = state.decoder;
  const bool continuesSolid = (state.fileHeader.flags & 0x0010) != 0;
  d.inputPos = 0;
  d.inputBit = 0;
  if (!continuesSolid) resetDecoder(state);
  refillInput(state, true);
  if (!continuesSolid) readCodeTables(state);

  // The hottest fields live in locals, so that byte stores into the window do not force them
  // back to memory; they are written back around every call that uses the decoder's fields.
  uint8_t* const window = state.window.get();
  const uint8_t* const input = d.input;
  uint32_t pos = d.inputPos, bit = d.inputBit, writePos = d.writePos;
  int64_t left = d.bytesToProduce - 1;
  // Read-only copies of fields that only the called operations change.
  uint32_t inputEnd = d.inputEnd, flushedPos = d.flushedPos;
  bool audioMode = d.audioMode;
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
    audioMode = d.audioMode;
  };

  while (left >= 0) {
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
    // A run of symbols during which none of the checks above can fire: each symbol takes at
    // most 15 bits and writes at most one window byte. The run ends early at the first symbol
    // that is not a literal (main table) or at the table-change code (audio); run 1 is the plain
    // one-symbol step.
    const uint32_t consumed = pos * 8 + bit;
    const uint32_t free = flushedPos == writePos ? kWindowSize : (flushedPos - writePos) & kWindowMask;
    uint64_t extra = (uint64_t(kRefillMainLoop + 1) * 8 - 1 - consumed) / 15;
    extra = std::min<uint64_t>(extra, (uint64_t(inputEnd) * 8 - consumed) / 15);
    extra = std::min<uint64_t>(extra, kWindowSize - 1 - writePos);
    extra = std::min<uint64_t>(extra, free - kDeliverMargin);
    extra = std::min<uint64_t>(extra, uint64_t(left));
    // Within the run the position is one bit count and the count of bytes still to produce
    // follows from the bytes written.
    const uint32_t runStart = writePos;
    BitRegister in{input, consumed};
    uint32_t s = 0;

    if (audioMode) {
      uint32_t channel = d.currentChannel;
      const uint32_t channels = d.channelCount;
      for (uint64_t run = extra + 1; run > 0; --run) {
        s = in.decode(d.audioTables[channel]);
        if (s == kAudioTableChangeSymbol) break;
        window[writePos++] = predictSample(d.channels[channel], d.crossDelta, s);
        if (++channel == channels) channel = 0;
      }
      d.currentChannel = channel;
      pos = in.bitPos >> 3;
      bit = in.bitPos & 7;
      left -= writePos - runStart;
      if (s == kAudioTableChangeSymbol) {
        store();
        readCodeTables(state);
        load();
      }
      continue;
    }

    const HuffmanTable& table = d.mainTable;
    for (uint64_t run = extra + 1; run > 0; --run) {
      s = in.decode(table);
      if (s >= 256) break;
      window[writePos++] = uint8_t(s);
    }
    pos = in.bitPos >> 3;
    bit = in.bitPos & 7;
    left -= writePos - runStart;
    if (s >= 256) {
      store();
      decodeNonLiteral(state, s);
      load();
    }
  }
  store();
  readFinalTables(state);
  deliverWindow(state);
  d.flushedPos = d.writePos;
}

}  // namespace datafiles
