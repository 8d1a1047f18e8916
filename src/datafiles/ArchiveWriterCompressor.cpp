#include "datafiles/ArchiveWriterCompressor.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <cstdlib>
#include <vector>

#include "datafiles/BitWriter.h"
#include "datafiles/HuffmanEncoder.h"
#include "datafiles/MatchFinder.h"

namespace datafiles {

namespace {

// Table set layout of the method: main, distance and repeat-length tables back to back, or one
// 257-symbol table per audio channel.
constexpr size_t kMainSymbols = 298;
constexpr size_t kDistanceSymbols = 48;
constexpr size_t kRepeatSymbols = 28;
constexpr size_t kDistanceOffset = kMainSymbols;
constexpr size_t kRepeatOffset = kMainSymbols + kDistanceSymbols;
constexpr size_t kLzSetSize = kMainSymbols + kDistanceSymbols + kRepeatSymbols;  // 374
constexpr size_t kAudioSymbols = 257;
constexpr size_t kMaxChannels = 4;
constexpr size_t kMaxSetSize = kAudioSymbols * kMaxChannels;  // 1,028

constexpr uint16_t kRepeatLast = 256;   // the last match again
constexpr uint16_t kFirstRecent = 257;  // 257..260: a recent distance
constexpr uint16_t kFirstShort = 261;   // 261..268: length 2 within 256 bytes
constexpr uint16_t kTableChange = 269;
constexpr uint16_t kFirstLong = 270;
constexpr uint16_t kAudioTableChange = 256;

// Input goes through the coder in blocks; each block may bring its own table set.
constexpr size_t kBlockSize = 128 * 1024;
// Blocks shorter than this never try audio mode: a table set would cost more than it could save.
constexpr size_t kMinAudioBlock = 2048;
// The audio trial runs every channel count over this much of a block first.
constexpr size_t kAudioSample = 24 * 1024;
constexpr size_t kHistorySize = size_t{1} << 20;
// In a solid stream the history and the members after it share one buffer, which grows up to
// this size before it slides back to the last kHistorySize bytes.
constexpr size_t kSlideLimit = 4 * kHistorySize;
constexpr unsigned kEndSlackBits = 24;

// Slots: a base and a number of extra bits, base[i + 1] = base[i] + 2^bits[i].
struct SlotTables {
  uint8_t lengthBits[kRepeatSymbols];
  uint32_t lengthBase[kRepeatSymbols];
  uint8_t lengthSlot[256];
  uint8_t distanceBits[kDistanceSymbols];
  uint32_t distanceBase[kDistanceSymbols];
  uint8_t shortBits[8] = {2, 2, 3, 4, 5, 6, 6, 6};
  uint32_t shortBase[8];
  uint8_t shortSlot[256];

  SlotTables() {
    const uint8_t lengthGroups[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,
                                    2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};
    uint32_t base = 0;
    for (size_t i = 0; i < kRepeatSymbols; ++i) {
      lengthBits[i] = lengthGroups[i];
      lengthBase[i] = base;
      for (uint32_t v = base; v < base + (1u << lengthBits[i]); ++v) lengthSlot[v] = uint8_t(i);
      base += 1u << lengthBits[i];
    }
    base = 0;
    for (size_t i = 0; i < kDistanceSymbols; ++i) {
      distanceBits[i] = i < 4 ? 0 : i < 34 ? uint8_t((i - 2) / 2) : 16;
      distanceBase[i] = base;
      base += 1u << distanceBits[i];
    }
    base = 0;
    for (size_t i = 0; i < 8; ++i) {
      shortBase[i] = base;
      for (uint32_t v = base; v < base + (1u << shortBits[i]); ++v) shortSlot[v] = uint8_t(i);
      base += 1u << shortBits[i];
    }
  }

  // Slot of a distance code (distance − 1, below 2^20).
  static unsigned distanceSlot(uint32_t v) {
    if (v < 4) return v;
    if (v < 262144) {
      unsigned top = 31 - __builtin_clz(v);
      return 2 * top + ((v >> (top - 1)) & 1);
    }
    return 36 + ((v - 262144) >> 16);
  }
};

const SlotTables& slots() {
  static const SlotTables tables;
  return tables;
}

// Length bonus the decoder adds for far matches.
unsigned longAdjust(uint32_t distance) { return (distance >= 0x2000) + (distance >= 0x40000); }
unsigned recentAdjust(uint32_t distance) {
  return (distance >= 0x101) + (distance >= 0x2000) + (distance >= 0x40000);
}

// The decoder's match history: the ring of recent distances and the last match.
struct MatchHistory {
  uint32_t recent[4] = {};
  uint32_t index = 0;
  uint32_t lastDistance = 0;
  uint32_t lastLength = 0;

  void record(uint32_t distance, uint32_t length) {
    recent[index & 3] = distance;
    ++index;
    lastDistance = distance;
    lastLength = length;
  }
  uint32_t recentDistance(unsigned k) const { return recent[(index - k) & 3]; }
};

// One channel of the audio predictor, kept exactly as the decoder keeps it.
struct AudioChannel {
  int32_t w[5] = {};
  int32_t delta[4] = {};
  int32_t ownDelta = 0;
  uint32_t errorSums[11] = {};
  uint32_t sampleCount = 0;
  int32_t lastValue = 0;
};

struct AudioState {
  AudioChannel channels[kMaxChannels];
  int32_t crossDelta = 0;
  unsigned current = 0;

  // The symbol that makes the decoder's predictor produce `byte` on the current channel, with
  // the predictor stepped past it and the channel advanced.
  uint8_t encode(uint8_t byte, unsigned channelCount) {
    AudioChannel& v = channels[current];
    v.sampleCount += 1;
    v.delta[3] = v.delta[2];
    v.delta[2] = v.delta[1];
    v.delta[1] = v.ownDelta - v.delta[0];
    v.delta[0] = v.ownDelta;
    const int32_t predicted = ((8 * v.lastValue + v.w[0] * v.delta[0] + v.w[1] * v.delta[1] +
                                v.w[2] * v.delta[2] + v.w[3] * v.delta[3] + v.w[4] * crossDelta) >>
                               3) &
                              0xFF;
    const uint8_t symbol = uint8_t(predicted - byte);
    const int32_t value = predicted - symbol;
    const int32_t e = int32_t(int8_t(symbol)) * 8;
    v.errorSums[0] += std::abs(e);
    for (int k = 0; k < 4; ++k) {
      v.errorSums[1 + 2 * k] += std::abs(e - v.delta[k]);
      v.errorSums[2 + 2 * k] += std::abs(e + v.delta[k]);
    }
    v.errorSums[9] += std::abs(e - crossDelta);
    v.errorSums[10] += std::abs(e + crossDelta);
    v.ownDelta = crossDelta = int8_t(value - v.lastValue);
    v.lastValue = value;
    if ((v.sampleCount & 31) == 0) {
      unsigned best = 0;
      for (unsigned k = 1; k < 11; ++k)
        if (v.errorSums[k] < v.errorSums[best]) best = k;
      std::fill(std::begin(v.errorSums), std::end(v.errorSums), 0u);
      if (best > 0) {
        int32_t& weight = v.w[(best - 1) / 2];
        if (best & 1) {
          if (weight >= -16) --weight;
        } else if (weight < 16) {
          ++weight;
        }
      }
    }
    if (++current >= channelCount) current = 0;
    return symbol;
  }
};

// One coded item of a dictionary block: a main-table symbol, extra bits, and for matches a
// second symbol (distance or repeat length) with its own extra bits.
struct Token {
  uint16_t main;
  uint16_t second;  // index into the table set (distance or repeat-length range); 0: none
  uint8_t extraBitsA;
  uint8_t extraBitsB;
  uint32_t extraA;
  uint32_t extraB;
};

enum class Mode { None, Dictionary, Audio };

// The table set the decoder currently holds.
struct CodeTables {
  Mode mode = Mode::None;
  unsigned channels = 0;
  size_t setSize = 0;
  uint8_t lengths[kMaxSetSize] = {};
  uint16_t codes[kMaxSetSize] = {};

  void assign(Mode newMode, unsigned newChannels, const uint8_t* newLengths, size_t size) {
    mode = newMode;
    channels = newChannels;
    setSize = size;
    std::copy(newLengths, newLengths + size, lengths);
    auto fill = [&](size_t offset, size_t count) {
      const std::vector<uint16_t> c = canonicalCodes(lengths + offset, count);
      std::copy(c.begin(), c.end(), codes + offset);
    };
    if (mode == Mode::Audio) {
      for (unsigned c = 0; c < channels; ++c) fill(c * kAudioSymbols, kAudioSymbols);
    } else {
      fill(0, kMainSymbols);
      fill(kDistanceOffset, kDistanceSymbols);
      fill(kRepeatOffset, kRepeatSymbols);
    }
  }
  void put(BitWriter& out, size_t symbol) const { out.write(codes[symbol], lengths[symbol]); }
};

struct LevelSettings {
  MatchFinderSettings finder;
  bool lazy;
  bool optimal = false;  // cheapest path through each block instead of lazy matching
};

// Deeper searches, a longer reach and a better parse per level: greedy at 1, lazy at 2 and 3,
// the cheapest path through each block at 4 and 5. Up to the default level the chains keep to the
// last 128 KiB, where a chain step stays within the processor's second-level cache; levels 4 and
// 5 search the whole window.
LevelSettings settingsFor(int level) {
  switch (level) {
    case 1: return {{4, 24, 8, 17}, false};
    case 2: return {{8, 32, 16, 17}, true};
    case 3: return {{16, 48, 16, 17}, true};
    case 4: return {{16, 96, 32, 20}, true, true};
    default: return {{48, 160, 64, 20}, true, true};
  }
}

// Cost in bits of one table set: header bits plus the code-length transmission.
uint64_t tableSetBits(const LengthSetPlan& plan, bool audio) { return (audio ? 4 : 2) + plan.bits; }

uint64_t codedBits(const uint32_t* freq, const uint8_t* lengths, size_t count) {
  uint64_t bits = 0;
  for (size_t i = 0; i < count; ++i) bits += uint64_t{freq[i]} * lengths[i];
  return bits;
}

// Everything needed to emit one block.
struct BlockPlan {
  bool audio = false;
  unsigned channels = 0;
  std::vector<uint8_t> lengths;  // fresh table set for the block
  std::array<uint32_t, kMaxSetSize> freq{};
  uint64_t extraBits = 0;  // dictionary blocks: extra bits of all tokens
  AudioState audioEnd;     // audio blocks: the predictors after the block
  unsigned audioFirstChannel = 0;
};

}  // namespace

struct MemberCompressor::Impl {
  LevelSettings settings;
  AudioMode audio;
  MatchFinder finder;

  std::vector<uint8_t> buffer;  // window history, then the member
  MatchHistory history;
  AudioState audioState;
  CodeTables tables;
  uint32_t cost[kLzSetSize];  // bits per dictionary symbol, from the latest statistics
  bool usedAudio = false;

  // Per-block scratch.
  std::vector<uint32_t> literalPrefix;
  std::vector<Token> tokens;
  std::vector<uint8_t> audioSymbols;

  Impl(int level, AudioMode audioMode)
      : settings(settingsFor(level)), audio(audioMode), finder(settings.finder) {
    defaultCosts();
  }

  void defaultCosts() {
    for (size_t i = 0; i < 256; ++i) cost[i] = 8;
    cost[kRepeatLast] = 6;
    for (size_t i = kFirstRecent; i < kFirstShort; ++i) cost[i] = 6;
    for (size_t i = kFirstShort; i < kTableChange; ++i) cost[i] = 7;
    cost[kTableChange] = 15;
    for (size_t i = kFirstLong; i < kMainSymbols; ++i) cost[i] = 6 + (i - kFirstLong) / 4;
    for (size_t i = 0; i < kDistanceSymbols; ++i) cost[kDistanceOffset + i] = 5;
    for (size_t i = 0; i < kRepeatSymbols; ++i) cost[kRepeatOffset + i] = 2 + i / 4;
  }

  void costsFrom(const uint8_t* lengths) {
    for (size_t i = 0; i < kLzSetSize; ++i) cost[i] = lengths[i] ? lengths[i] : 13;
  }

  void resetStream() {
    history = MatchHistory{};
    audioState = AudioState{};
    tables = CodeTables{};
    defaultCosts();
  }

  // ---- Dictionary parse ----

  uint32_t matchLengthAt(size_t p, uint32_t distance, uint32_t maxLength) const {
    const uint8_t* a = buffer.data() + p;
    const uint8_t* b = a - distance;
    uint32_t n = 0;
    while (n < maxLength && a[n] == b[n]) ++n;
    return n;
  }

  // Matches are searched on demand, in increasing position order, as the parse asks for them;
  // positions it jumps over are only inserted.
  struct MatchSlot {
    MatchFinder::Matches found;
    uint16_t shortDistance;
  };
  std::vector<MatchSlot> matches;
  size_t blockStart = 0;
  size_t nextToInsert = 0;  // block index

  void beginMatches(size_t start, size_t end) {
    blockStart = start;
    nextToInsert = 0;
    matches.assign(end - start, MatchSlot{});
  }

  void insertUpTo(size_t i) {
    for (; nextToInsert < i; ++nextToInsert) {
      const size_t p = blockStart + nextToInsert;
      matches[nextToInsert].shortDistance = uint16_t(finder.shortDistance(p));
      finder.insert(p);
    }
  }

  const MatchSlot& matchAt(size_t i, size_t end) {
    if (i < nextToInsert) return matches[i];
    insertUpTo(i);
    const size_t p = blockStart + i;
    MatchSlot& slot = matches[i];
    slot.shortDistance = uint16_t(finder.shortDistance(p));
    const MatchFinder::Match* before = i > 0 ? matches[i - 1].found.longest() : nullptr;
    if (before && before->length >= settings.finder.niceLength) {
      // Inside a match long enough to end the search: its tail is the match here.
      slot.found.count = 1;
      slot.found.list[0] = MatchFinder::Match{before->length - 1, before->distance};
      finder.insert(p);
    } else {
      slot.found = finder.findAndInsert(p, uint32_t(std::min<size_t>(end - p, 260)));
    }
    nextToInsert = i + 1;
    return slot;
  }

  enum class Kind : uint8_t { Literal, Long, Recent, Last, Short };
  struct Choice {
    Kind kind = Kind::Literal;
    uint8_t recent = 0;  // 1..4 for Kind::Recent
    uint32_t length = 1;
    uint32_t distance = 0;
    int32_t savings = 0;  // bits saved against literals
  };

  int32_t literalBits(size_t i, uint32_t length) const {
    return int32_t(literalPrefix[i + length] - literalPrefix[i]);
  }

  uint32_t lengthCodeBits(size_t table, uint32_t code) const {
    const unsigned slot = slots().lengthSlot[code];
    return cost[table + slot] + slots().lengthBits[slot];
  }

  // Calls visit(kind, k, length, distance, bits) for every way to code a match at `p` under the
  // history `h`: at its full length, or (allLengths) at every length the code allows, where a
  // finder match is tried from just past the length of the nearer one before it.
  template <typename Visit>
  void forEachMatch(size_t start, size_t end, size_t p, const MatchHistory& h, bool allLengths,
                    Visit&& visit) {
    const size_t available = end - p;
    const MatchSlot& match = matchAt(p - start, end);
    if (available < 2) return;
    // The last match repeated as it was.
    if (h.lastLength > 0 && h.lastDistance > 0 && h.lastDistance <= p &&
        h.lastLength <= available &&
        matchLengthAt(p, h.lastDistance, h.lastLength) == h.lastLength)
      visit(Kind::Last, 0, h.lastLength, h.lastDistance, cost[kRepeatLast]);
    // A recent distance with a length of its own.
    for (unsigned k = 1; k <= 4; ++k) {
      const uint32_t distance = h.recentDistance(k);
      if (distance == 0 || distance > p) continue;
      const unsigned adjust = recentAdjust(distance);
      const uint32_t length =
          matchLengthAt(p, distance, uint32_t(std::min<size_t>(available, 257 + adjust)));
      for (uint32_t l = allLengths ? 2 + adjust : length; l <= length && l >= 2 + adjust; ++l)
        visit(Kind::Recent, uint8_t(k), l, distance,
              cost[kFirstRecent + k - 1] + lengthCodeBits(kRepeatOffset, l - 2 - adjust));
    }
    // The matches the finder saw, nearer ones shorter.
    uint32_t covered = 0;
    for (unsigned k = 0; k < match.found.count; ++k) {
      const uint32_t distance = match.found.list[k].distance;
      const unsigned adjust = longAdjust(distance);
      const uint32_t length = std::min<uint32_t>(match.found.list[k].length, 258 + adjust);
      const unsigned d = SlotTables::distanceSlot(distance - 1);
      const uint32_t distanceBits = cost[kDistanceOffset + d] + slots().distanceBits[d];
      for (uint32_t l = allLengths ? std::max(covered + 1, 3 + adjust) : length;
           l <= length && l >= 3 + adjust; ++l)
        visit(Kind::Long, 0, l, distance, lengthCodeBits(kFirstLong, l - 3 - adjust) + distanceBits);
      covered = std::max(covered, length);
    }
    // Two bytes within 256.
    if (match.shortDistance != 0) {
      const unsigned slot = slots().shortSlot[match.shortDistance - 1];
      visit(Kind::Short, 0, 2, match.shortDistance,
            cost[kFirstShort + slot] + slots().shortBits[slot]);
    }
  }

  // The match that saves the most bits against literals at `p`, or a literal.
  Choice evaluate(size_t start, size_t end, size_t p, const MatchHistory& h) {
    Choice best;
    const size_t i = p - start;
    forEachMatch(start, end, p, h, false,
                 [&](Kind kind, uint8_t k, uint32_t length, uint32_t distance, uint32_t bits) {
                   const int32_t savings = literalBits(i, length) - int32_t(bits);
                   if (savings > best.savings) best = Choice{kind, k, length, distance, savings};
                 });
    return best;
  }

  void pushLengthToken(uint16_t mainSymbol, size_t table, uint32_t code, Token& t) const {
    const unsigned slot = slots().lengthSlot[code];
    if (table == kFirstLong) {
      t.main = uint16_t(kFirstLong + slot);
      t.extraBitsA = slots().lengthBits[slot];
      t.extraA = code - slots().lengthBase[slot];
    } else {
      t.main = mainSymbol;
      t.second = uint16_t(kRepeatOffset + slot);
      t.extraBitsB = slots().lengthBits[slot];
      t.extraB = code - slots().lengthBase[slot];
    }
  }

  Token tokenFor(const Choice& c) const {
    Token t{};
    switch (c.kind) {
      case Kind::Literal:
        break;
      case Kind::Last:
        t.main = kRepeatLast;
        break;
      case Kind::Recent:
        pushLengthToken(uint16_t(kFirstRecent + c.recent - 1), kRepeatOffset,
                        c.length - 2 - recentAdjust(c.distance), t);
        break;
      case Kind::Long: {
        pushLengthToken(0, kFirstLong, c.length - 3 - longAdjust(c.distance), t);
        const unsigned d = SlotTables::distanceSlot(c.distance - 1);
        t.second = uint16_t(kDistanceOffset + d);
        t.extraBitsB = slots().distanceBits[d];
        t.extraB = c.distance - 1 - slots().distanceBase[d];
        break;
      }
      case Kind::Short: {
        const unsigned slot = slots().shortSlot[c.distance - 1];
        t.main = uint16_t(kFirstShort + slot);
        t.extraBitsA = slots().shortBits[slot];
        t.extraA = c.distance - 1 - slots().shortBase[slot];
        break;
      }
    }
    return t;
  }

  // Optimal parse: the cheapest way through the block by the costs of the latest tables, found
  // forward position by position; the match history is carried along each position's cheapest
  // path. A match of `niceLength` or more is taken as it stands.
  struct Step {
    uint32_t bits = UINT32_MAX;
    uint32_t from = 0;
    Choice choice;
    MatchHistory history;
  };
  std::vector<Step> steps;

  void parseOptimal(size_t start, size_t end) {
    const size_t n = end - start;
    steps.assign(n + 1, Step{});
    steps[0].bits = 0;
    steps[0].history = history;
    size_t skipUntil = 0;
    for (size_t i = 0; i < n; ++i) {
      const Step here = steps[i];
      if (here.bits == UINT32_MAX || i < skipUntil) continue;
      const size_t p = start + i;
      auto relax = [&](size_t j, uint32_t bits, const Choice& choice, const MatchHistory& h) {
        if (bits < steps[j].bits) {
          steps[j].bits = bits;
          steps[j].from = uint32_t(i);
          steps[j].choice = choice;
          steps[j].history = h;
        }
      };
      relax(i + 1, here.bits + cost[buffer[p]], Choice{}, here.history);
      uint32_t longest = 0;
      Choice longestChoice;
      forEachMatch(start, end, p, here.history, true,
                   [&](Kind kind, uint8_t k, uint32_t length, uint32_t distance, uint32_t bits) {
                     MatchHistory h = here.history;
                     h.record(distance, length);
                     const Choice choice{kind, k, length, distance, 0};
                     relax(i + length, here.bits + bits, choice, h);
                     if (length > longest) longest = length, longestChoice = choice;
                   });
      if (longest >= settings.finder.niceLength) skipUntil = i + longest;
    }
    insertUpTo(n);
    // Walk back from the end, then emit in order.
    std::vector<Choice> path;
    for (size_t j = n; j > 0; j = steps[j].from) path.push_back(steps[j].choice);
    history = steps[n].history;
    size_t p = start;
    for (auto it = path.rbegin(); it != path.rend(); ++it) {
      if (it->kind == Kind::Literal) {
        Token t{};
        t.main = buffer[p];
        tokens.push_back(t);
        p += 1;
      } else {
        tokens.push_back(tokenFor(*it));
        p += it->length;
      }
    }
  }

  // Parses the block with the costs of the latest tables: tokens, frequencies and history.
  void parse(size_t start, size_t end, BlockPlan& plan) {
    const size_t n = end - start;
    literalPrefix.resize(n + 1);
    literalPrefix[0] = 0;
    for (size_t i = 0; i < n; ++i) literalPrefix[i + 1] = literalPrefix[i] + cost[buffer[start + i]];
    tokens.clear();
    plan.freq.fill(0);
    plan.extraBits = 0;
    if (settings.optimal) {
      parseOptimal(start, end);
      countTokens(plan);
      return;
    }
    auto emitLiteral = [&](size_t p) {
      Token t{};
      t.main = buffer[p];
      tokens.push_back(t);
    };
    size_t p = start;
    Choice current;
    if (p < end) current = evaluate(start, end, p, history);
    while (p < end) {
      if (current.savings <= 0) {
        emitLiteral(p);
        ++p;
        if (p < end) current = evaluate(start, end, p, history);
        continue;
      }
      if (settings.lazy && p + 1 < end) {
        const Choice next = evaluate(start, end, p + 1, history);
        if (next.savings > current.savings) {
          emitLiteral(p);
          ++p;
          current = next;
          continue;
        }
      }
      if (current.kind == Kind::Last) {
        history.record(history.lastDistance, history.lastLength);
      } else {
        history.record(current.distance, current.length);
      }
      tokens.push_back(tokenFor(current));
      p += current.length;
      if (p < end) current = evaluate(start, end, p, history);
    }
    countTokens(plan);
  }

  void countTokens(BlockPlan& plan) const {
    for (const Token& t : tokens) {
      plan.freq[t.main]++;
      if (t.second) plan.freq[t.second]++;
      plan.extraBits += t.extraBitsA + t.extraBitsB;
    }
    plan.freq[kTableChange]++;  // every dictionary table can announce the next change
  }

  uint64_t dictionaryPlan(size_t start, size_t end, BlockPlan& plan) {
    beginMatches(start, end);
    parse(start, end, plan);
    insertUpTo(end - start);
    plan.lengths = buildLengths(plan.freq.data());
    costsFrom(plan.lengths.data());
    const LengthSetPlan set = planLengthSet(plan.lengths.data(), nullptr, kLzSetSize);
    return codedBits(plan.freq.data(), plan.lengths.data(), kLzSetSize) + plan.extraBits +
           tableSetBits(set, false);
  }

  static std::vector<uint8_t> buildLengths(const uint32_t* freq) {
    std::vector<uint8_t> lengths(kLzSetSize);
    auto part = [&](size_t offset, size_t count) {
      const std::vector<uint8_t> l = buildCodeLengths(freq + offset, count);
      std::copy(l.begin(), l.end(), lengths.begin() + offset);
    };
    part(0, kMainSymbols);
    part(kDistanceOffset, kDistanceSymbols);
    part(kRepeatOffset, kRepeatSymbols);
    return lengths;
  }

  // ---- Audio trial ----

  // Runs `channels` predictors over bytes [start, end) from `state`; returns the coded size with
  // tables built for the result.
  uint64_t audioTrial(AudioState& state, unsigned channels, size_t start, size_t end,
                      BlockPlan& plan, uint8_t* symbols) const {
    plan.freq.fill(0);
    if (state.current >= channels) state.current = 0;
    plan.audioFirstChannel = state.current;
    for (size_t p = start; p < end; ++p) {
      const unsigned c = state.current;
      const uint8_t s = state.encode(buffer[p], channels);
      if (symbols) symbols[p - start] = s;
      plan.freq[c * kAudioSymbols + s]++;
    }
    plan.lengths.assign(kAudioSymbols * channels, 0);
    uint64_t bits = 4;
    for (unsigned c = 0; c < channels; ++c) {
      plan.freq[c * kAudioSymbols + kAudioTableChange]++;
      const std::vector<uint8_t> l = buildCodeLengths(plan.freq.data() + c * kAudioSymbols, kAudioSymbols);
      std::copy(l.begin(), l.end(), plan.lengths.begin() + c * kAudioSymbols);
    }
    bits += codedBits(plan.freq.data(), plan.lengths.data(), plan.lengths.size());
    bits += planLengthSet(plan.lengths.data(), nullptr, plan.lengths.size()).bits;
    return bits;
  }

  struct AudioSample {
    unsigned channels = 1;
    uint64_t bits = UINT64_MAX;  // audio coding of the sample with the best channel count
    uint64_t plainBits = 0;      // the sample's bytes under one prefix code of their own
    size_t size = 0;
  };

  // Tries every channel count on the block's start. Unless `always`, content whose plain byte
  // statistics already code below 5.5 bits a byte (text and the like) is not tried.
  AudioSample sampleAudio(size_t start, size_t end, bool always) {
    AudioSample sample;
    sample.size = std::min(end - start, kAudioSample);
    uint32_t freq[256] = {};
    for (size_t p = start; p < start + sample.size; ++p) freq[buffer[p]]++;
    sample.plainBits = codedBits(freq, buildCodeLengths(freq, 256).data(), 256);
    if (!always && sample.plainBits * 2 < sample.size * 11) return sample;
    BlockPlan scratch;
    for (unsigned channels = 1; channels <= kMaxChannels; ++channels) {
      AudioState trial = audioState;
      const uint64_t bits = audioTrial(trial, channels, start, start + sample.size, scratch, nullptr);
      if (bits < sample.bits) {
        sample.bits = bits;
        sample.channels = channels;
      }
    }
    return sample;
  }

  // Codes the whole block in audio mode from the current predictors.
  uint64_t audioPlan(size_t start, size_t end, unsigned channels, BlockPlan& plan) {
    plan.audio = true;
    plan.channels = channels;
    plan.audioEnd = audioState;
    audioSymbols.resize(end - start);
    return audioTrial(plan.audioEnd, channels, start, end, plan, audioSymbols.data());
  }

  // Chooses between the dictionary coding and audio mode for one block.
  BlockPlan planBlock(size_t start, size_t end) {
    BlockPlan plan;
    const size_t size = end - start;
    AudioSample sample;
    if (audio != AudioMode::Off && size >= kMinAudioBlock) {
      sample = sampleAudio(start, end, audio == AudioMode::Always);
      // Sampled sound that the predictors code well below its plain byte statistics needs no
      // dictionary parse to decide: matches in it are rare and short.
      if (audio == AudioMode::Always || sample.bits * 5 < sample.plainBits * 4) {
        audioPlan(start, end, sample.channels, plan);
        for (size_t p = start; p < end; ++p) finder.insert(p);
        return plan;
      }
    }
    const MatchHistory before = history;
    const uint64_t dictionaryBits = dictionaryPlan(start, end, plan);
    if (sample.bits != UINT64_MAX && sample.bits * size < dictionaryBits * sample.size) {
      BlockPlan audioBlock;
      if (audioPlan(start, end, sample.channels, audioBlock) < dictionaryBits) {
        history = before;  // the dictionary parse is dropped
        return audioBlock;
      }
    }
    return plan;
  }

  // ---- Emission ----

  // Sends a table set, preceded by the change code of the tables in force when `withChange`.
  void sendTables(BitWriter& out, bool withChange, const BlockPlan& plan) {
    if (withChange) {
      if (tables.mode == Mode::Audio)
        tables.put(out, audioState.current * kAudioSymbols + kAudioTableChange);
      else
        tables.put(out, kTableChange);
    }
    const size_t size = plan.lengths.size();
    const bool canDelta = tables.mode != Mode::None && tables.setSize >= size;
    const LengthSetPlan set =
        planLengthSet(plan.lengths.data(), canDelta ? tables.lengths : nullptr, size);
    out.write(plan.audio ? 1 : 0, 1);
    out.write(set.delta ? 1 : 0, 1);
    if (plan.audio) out.write(plan.channels - 1, 2);
    writeLengthSet(out, set);
    tables.assign(plan.audio ? Mode::Audio : Mode::Dictionary, plan.channels, plan.lengths.data(),
                  size);
  }

  // Whether the tables in force code the block for fewer bits than a new set would.
  bool keepTables(const BlockPlan& plan) const {
    const Mode mode = plan.audio ? Mode::Audio : Mode::Dictionary;
    if (tables.mode != mode || tables.channels != plan.channels) return false;
    const size_t size = plan.lengths.size();
    for (size_t i = 0; i < size; ++i)
      if (plan.freq[i] > 0 && tables.lengths[i] == 0) return false;
    const uint64_t oldBits = codedBits(plan.freq.data(), tables.lengths, size);
    const LengthSetPlan set = planLengthSet(plan.lengths.data(), tables.lengths, size);
    const uint64_t changeBits = plan.audio ? 15 : tables.lengths[kTableChange];
    const uint64_t newBits = codedBits(plan.freq.data(), plan.lengths.data(), size) +
                             tableSetBits(set, plan.audio) + changeBits;
    return oldBits <= newBits;
  }

  void emitBlock(BitWriter& out, const BlockPlan& plan) {
    if (plan.audio) {
      unsigned c = plan.audioFirstChannel;
      for (size_t i = 0; i < audioSymbols.size(); ++i) {
        tables.put(out, c * kAudioSymbols + audioSymbols[i]);
        if (++c >= plan.channels) c = 0;
      }
      audioState = plan.audioEnd;
      usedAudio = true;

      return;
    }
    for (const Token& t : tokens) {
      tables.put(out, t.main);
      out.write(t.extraA, t.extraBitsA);
      if (t.second) {
        tables.put(out, t.second);
        out.write(t.extraB, t.extraBitsB);
      }
    }
  }

  // Any symbol but the table change, from the tables in force, then zero bits: decoders read
  // ahead of the last symbol they need (unar fails on a stream that ends within a few bits of
  // it), and one that looks for a table change past the end finds this symbol instead.
  void endStream(BitWriter& out) const {
    const size_t first = tables.mode == Mode::Audio ? audioState.current * kAudioSymbols : 0;
    const size_t change = tables.mode == Mode::Audio ? kAudioTableChange : kTableChange;
    const size_t count = tables.mode == Mode::Audio ? kAudioSymbols : kMainSymbols;
    for (size_t s = 0; s < count; ++s) {
      if (s != change && tables.lengths[first + s] != 0) {
        tables.put(out, first + s);
        break;
      }
    }
    out.write(0, kEndSlackBits);
  }

  void compress(const uint8_t* data, size_t size, BitWriter* previous, BitWriter& out,
                const std::function<void(size_t, size_t)>& progress) {
    size_t memberStart = 0;
    if (!previous) {
      resetStream();
      buffer.assign(data, data + size);
      finder.reset(buffer.data(), buffer.size());
    } else if (buffer.size() + size <= kSlideLimit) {
      // The member goes on after the history: the finder keeps its chains.
      memberStart = buffer.size();
      buffer.insert(buffer.end(), data, data + size);
      finder.extend(buffer.data(), buffer.size());
    } else {
      // Only the window's reach of history is kept, and the finder starts over on it. Sliding
      // only when the buffer has grown to several windows keeps the cost per byte constant,
      // however small the members.
      const size_t keep = std::min(buffer.size(), kHistorySize);
      buffer.erase(buffer.begin(), buffer.end() - keep);
      buffer.insert(buffer.end(), data, data + size);
      memberStart = keep;
      finder.reset(buffer.data(), buffer.size());
      for (size_t p = 0; p < memberStart; ++p) finder.insert(p);
    }
    usedAudio = false;

    if (previous) endStream(*previous);
    bool first = true;
    size_t start = memberStart;
    do {
      const size_t end = std::min(start + kBlockSize, buffer.size());
      const BlockPlan plan = planBlock(start, end);
      // A member that starts a stream begins with its tables. One that continues a stream goes
      // on with the tables in force or opens with a change code. A change at the start of the
      // member rather than after the last symbol of the one before reads the same in every
      // decoder: one that looks for a change past a member's end finds the end symbol instead.
      // An empty member in a stream still carries a table set: unar loses its place in the
      // stream after an empty member whose data holds only the end symbol.
      if (first && !previous) {
        sendTables(out, false, plan);
      } else if ((first && size == 0) || !keepTables(plan)) {
        sendTables(out, true, plan);
      }
      emitBlock(out, plan);
      first = false;
      start = end;
      if (progress) progress(start - memberStart, size);
    } while (start < buffer.size());
  }
};

void MemberCompressor::endStream(BitWriter& out) { impl_->endStream(out); }

MemberCompressor::MemberCompressor(int level, AudioMode audio)
    : impl_(std::make_unique<Impl>(level, audio)) {}
MemberCompressor::~MemberCompressor() = default;

void MemberCompressor::compress(const uint8_t* data, size_t size, BitWriter* previous,
                                BitWriter& out, const std::function<void(size_t, size_t)>& progress) {
  impl_->compress(data, size, previous, out, progress);
}

bool MemberCompressor::lastUsedAudio() const { return impl_->usedAudio; }

}  // namespace datafiles
