#pragma once
// The version 2.0 member decompressor: LZ77 over a 1 MiB window, canonical Huffman codes whose
// code lengths are sent as differences (mod 16) from the previous table set, and a predictive mode
// for audio-like data with up to four interleaved channels. In a solid archive the whole state
// carries from one member to the next.
//
// Hostile input stays inside every buffer: window positions are masked (or, in the runs of steps
// the main loop takes between its checks, bounded by the run's limits), symbol indices are checked
// against the table size, the input buffer has slack past its last refill point, and a stream that
// runs out of packed bytes stops decoding (the member then fails its content check).
//
// Speed (the decoder is most of an extraction's time): the main loop's per-step checks (refill,
// end of input, delivery, window end, bytes to produce) become limits of a run of steps decoded
// from a 64-bit bit register; matches are copied 16 bytes at a time where neither side wraps; the
// audio predictor runs in batches of whole rounds with its error sums made per block of 32 from a
// log. The bytes and the state after every member are those of the plain algorithm.
#include <cstddef>
#include <cstdint>

namespace datafiles {

struct ArchiveReaderState;

constexpr uint32_t kWindowSize = 1u << 20;
constexpr uint32_t kWindowMask = kWindowSize - 1;
// Packed input: the first fill reads kInputBufferSize bytes; later fills keep the last
// kInputKeep bytes as look-ahead and read kInputBufferSize - kInputKeep behind them. Both are
// multiples of the cipher block, so deciphering stays aligned with the reads.
constexpr uint32_t kInputBufferSize = 8192;
constexpr uint32_t kInputKeep = 32;
// Zero bytes after the buffer: peeks near a refill point never leave it.
constexpr uint32_t kInputSlack = 64;

constexpr uint32_t kMainSymbols = 298;
constexpr uint32_t kDistanceSymbols = 48;
constexpr uint32_t kRepeatSymbols = 28;
constexpr uint32_t kCodeLengthSymbols = 19;
constexpr uint32_t kAudioSymbols = 257;
constexpr uint32_t kMaxChannels = 4;
constexpr uint32_t kTableSetLengths = kAudioSymbols * kMaxChannels;  // 1,028
// Codes up to this many bits are decoded by one table look-up; longer ones by the search.
constexpr int kQuickBits = 10;

// A canonical Huffman decode table. limit[b] is the first 16-bit code value too large for codes
// of b bits (limit[0] = 0, capped at 0xFFFF); firstIndex[b] is the index in `symbols` of the first
// symbol with a b-bit code. `quick` caches the result of the search for every 10-bit prefix whose
// code is at most 10 bits long: (symbol << 6) | bits, or 0 when the search must run.
struct HuffmanTable {
  uint32_t symbolCount = 0;
  uint32_t limit[16] = {};
  uint32_t firstIndex[16] = {};
  uint16_t symbols[kMainSymbols] = {};
  uint16_t quick[1u << kQuickBits] = {};
};

struct AudioChannelState {
  int32_t w1 = 0, w2 = 0, w3 = 0, w4 = 0, w5 = 0;
  int32_t delta1 = 0, delta2 = 0, delta3 = 0, delta4 = 0;
  int32_t ownDelta = 0;
  uint32_t errorSums[11] = {};
  uint32_t sampleCount = 0;
  int32_t lastValue = 0;  // not reduced to 8 bits
};

struct MemberDecoder {
  // Bit input. inputBit counts the bits of input[inputPos] already used, from its top bit;
  // inputEnd is the number of valid bytes in the buffer.
  uint8_t input[kInputBufferSize + kInputSlack] = {};
  uint32_t inputPos = 0;
  uint32_t inputBit = 0;
  uint32_t inputEnd = 0;

  uint32_t writePos = 0;
  uint32_t flushedPos = 0;
  int64_t bytesToProduce = 0;

  uint32_t recentDistances[4] = {};
  uint32_t recentIndex = 0;
  uint32_t lastMatchDistance = 0;
  uint32_t lastMatchLength = 0;

  HuffmanTable mainTable;
  HuffmanTable distanceTable;
  HuffmanTable repeatTable;
  HuffmanTable codeLengthTable;
  HuffmanTable audioTables[kMaxChannels];
  uint8_t previousLengths[kTableSetLengths] = {};

  bool audioMode = false;
  uint32_t channelCount = 1;
  uint32_t currentChannel = 0;
  int32_t crossDelta = 0;
  AudioChannelState channels[kMaxChannels];
};

// Decodes the current member of `state` (positioned at its packed data, `packedLeft` and
// `bytesToProduce` set) into the window, delivering into the output buffer when there is one.
// Reports nothing: damaged data shows as wrong bytes or too few of them.
void decompressMember(ArchiveReaderState& state);

// Internals, exposed for the tests.
void refillInput(ArchiveReaderState& state, bool first);
uint32_t peekBits(const MemberDecoder& d);
void skipBits(MemberDecoder& d, uint32_t n);
// `lengths` holds `count` code lengths (low 4 bits used; 0 = symbol absent); count <= 298.
void buildDecodeTable(const uint8_t* lengths, uint32_t count, HuffmanTable& table);
uint32_t decodeSymbol(MemberDecoder& d, const HuffmanTable& table);
void readCodeTables(ArchiveReaderState& state);
void readFinalTables(ArchiveReaderState& state);
uint8_t predictAudioByte(MemberDecoder& d, uint32_t symbol);
void copyMatch(ArchiveReaderState& state, uint32_t length, uint32_t distance);
void deliverWindow(ArchiveReaderState& state);

}  // namespace datafiles
