// The decompressor on small streams written symbol by symbol.
#include <gtest/gtest.h>

#include <random>

#include "ArchiveTestBuilder.h"
#include "datafiles/ArchiveReaderState.h"
#include "datafiles/MemberDecoder.h"

using namespace archivetest;
using datafiles::ArchiveReaderState;

namespace {

// Runs decompressMember over `packed` as one member (flag 0x0010 when it continues a solid
// stream) of the given size, delivering into an output buffer when `deliver` is set.
class Decoder {
 public:
  Decoder() { state.window.reset(new uint8_t[datafiles::kWindowSize]()); }
  ~Decoder() { std::free(state.output); }

  Bytes run(const Bytes& packed, uint32_t unpSize, bool continuesSolid = false, bool deliver = true) {
    Bytes copy = packed;
    copy.resize(copy.size() + 1);  // fmemopen needs a non-empty buffer
    std::FILE* f = fmemopen(copy.data(), copy.size(), "rb");
    state.archive = f;
    state.fileHeader.unpSize = unpSize;
    state.fileHeader.flags = continuesSolid ? 0x8010 : 0x8000;
    state.packedLeft = uint32_t(packed.size());
    state.decoder.bytesToProduce = unpSize;
    std::free(state.output);
    state.output = deliver ? static_cast<uint8_t*>(std::malloc(unpSize + 1)) : nullptr;
    state.delivered = 0;
    datafiles::decompressMember(state);
    std::fclose(f);
    state.archive = nullptr;
    return state.output ? Bytes(state.output, state.output + state.delivered) : Bytes();
  }

  ArchiveReaderState state;
};

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

TEST(MemberDecoder, LiteralThenMatchAtDistanceOneRepeatsIt) {
  StreamWriter w;
  w.tables(flatLengths());
  w.literal('x');
  w.longMatch(10, 1);
  Decoder d;
  EXPECT_EQ(d.run(w.finish(), 11), text("xxxxxxxxxxx"));
}

TEST(MemberDecoder, LastMatchFirstWritesNothingAndRecordsDistanceZero) {
  StreamWriter w;
  w.tables(flatLengths());
  w.lastMatch();
  w.literal('a');
  Decoder d;
  EXPECT_EQ(d.run(w.finish(), 1), text("a"));
  EXPECT_EQ(d.state.decoder.recentDistances[0], 0u);
  EXPECT_EQ(d.state.decoder.recentIndex, 1u);
}

TEST(MemberDecoder, RepeatSymbolsPickRecentDistancesNewestFirst) {
  // Short matches record the distances 5, 6, 7, 8 in that order, each followed by a digit, giving
  // "abcdefghde1fg2hd3e14"; then symbol 256 + k copies two bytes at the k-th most recent distance.
  struct Case {
    uint32_t k;
    std::string tail;
  };
  const Case cases[] = {{1, "g2"}, {2, "2h"}, {3, "hd"}, {4, "d3"}};
  for (const Case& c : cases) {
    StreamWriter w;
    w.tables(flatLengths());
    for (char ch : std::string("abcdefgh")) w.literal(uint8_t(ch));
    for (uint32_t distance : {5u, 6u, 7u, 8u}) {
      w.shortMatch(distance);
      w.literal(uint8_t('1' + distance - 5));
    }
    w.repeatMatch(c.k, 2, 9 - c.k);
    Decoder d;
    EXPECT_EQ(d.run(w.finish(), 22), text("abcdefghde1fg2hd3e14" + c.tail)) << "k " << c.k;
  }
}

TEST(MemberDecoder, FarDistancesLengthenMatches) {
  // Each case: a distance and the length bonus a long match and a repeat match get there.
  struct Case {
    uint32_t distance, longBonus, repeatBonus;
  };
  const Case cases[] = {{0x100, 0, 0}, {0x101, 0, 1}, {0x1FFF, 0, 1}, {0x2000, 1, 2},
                        {0x3FFFF, 1, 2}, {0x40000, 2, 3}};
  for (const Case& c : cases) {
    StreamWriter w;
    w.tables(flatLengths());
    ContentModel m;
    for (uint32_t i = 0; i < c.distance; ++i) {
      const uint8_t b = uint8_t(i * 7 + i / 256);
      w.literal(b);
      m.literal(b);
    }
    // Slot 0 of the long lengths (3 + bonus) and of the repeat lengths (2 + bonus).
    w.longMatch(3 + c.longBonus, c.distance);
    m.match(3 + c.longBonus, c.distance);
    w.repeatMatch(1, 2 + c.repeatBonus, c.distance);
    m.match(2 + c.repeatBonus, c.distance);
    Decoder d;
    const Bytes packed = w.finish();
    const Bytes out = d.run(packed, uint32_t(m.out.size()));
    EXPECT_EQ(d.state.decoder.lastMatchLength, 2 + c.repeatBonus) << "distance " << c.distance;
    EXPECT_TRUE(out == m.out) << "distance " << c.distance;
  }
}

}  // namespace

namespace {

TEST(MemberDecoder, RandomStreamsDecodeUnderShortAndLongCodes) {
  // Flat codes are all served by the quick look-up; skewed ones reach 15 bits and the search;
  // fitted ones follow the symbols' use, as an archiver's would.
  const std::pair<const char*, Bytes> sets[] = {
      {"flat", flatLengths()}, {"skewed", skewedLengths()}, {"fitted", Bytes()}};
  for (const auto& [label, lengths] : sets) {
    const GeneratedStream g = randomStream(7, 300000, lengths);
    Decoder d;
    EXPECT_TRUE(d.run(g.packed, uint32_t(g.content.size())) == g.content) << label;
  }
}

TEST(MemberDecoder, TwoAudioChannelsAlternateFromChannelZero) {
  // With all weights still zero each channel predicts its own last value, so channel c, fed the
  // difference c + 1 every time, counts down from zero by c + 1.
  StreamWriter w;
  w.tables(Bytes(2 * kAudio, 9), true, 2);
  Bytes expected;
  for (int n = 1; n <= 16; ++n) {
    for (uint32_t c = 0; c < 2; ++c) {
      w.audioSymbol(c, c + 1);
      expected.push_back(uint8_t(-int(c + 1) * n));
    }
  }
  Decoder d;
  EXPECT_EQ(d.run(w.finish(), uint32_t(expected.size())), expected);
  EXPECT_EQ(d.state.decoder.channelCount, 2u);
}

TEST(MemberDecoder, TableSetsSentAsDifferencesOrWhole) {
  // A second table set (after code 269) with header bit 0x4000 sends each length as a difference
  // from the first set; without it, whole. Runs are off so every length is a difference.
  for (const bool keepPrevious : {true, false}) {
    StreamWriter w;
    ContentModel m;
    w.tables(flatLengths(), false, 1, false, false);
    w.literal('a'), m.literal('a');
    w.tableChange();
    w.tables(skewedLengths(), false, 1, keepPrevious, false);
    for (uint8_t b : {0, 1, int('q'), 200, 255}) w.literal(b), m.literal(b);
    w.longMatch(40, 3), m.match(40, 3);
    Decoder d;
    EXPECT_EQ(d.run(w.finish(), uint32_t(m.out.size())), m.out) << "keepPrevious " << keepPrevious;
  }
}

TEST(MemberDecoder, MemberOverOneMebibyteWrapsTheWindow) {
  StreamWriter w;
  w.tables(flatLengths());
  ContentModel m;
  for (int i = 0; i < 300; ++i) w.literal(uint8_t(i * 13)), m.literal(uint8_t(i * 13));
  while (m.out.size() < 1200000) w.longMatch(258, 300), m.match(258, 300);
  // Reaches back across the wrap point, nearly a whole window.
  w.longMatch(200, 1000003), m.match(200, 1000003);
  w.literal('!'), m.literal('!');
  Decoder d;
  EXPECT_TRUE(d.run(w.finish(), uint32_t(m.out.size())) == m.out);
}

TEST(MemberDecoder, SolidMemberStartsWithTheTableChangeReadAtTheEndOfThePreviousOne) {
  // Member 1 ends with code 269 and a new table set after its content; member 2 continues the
  // stream with those tables and copies from member 1's bytes.
  StreamWriter w1;
  w1.tables(flatLengths());
  for (char c : std::string("solid stream")) w1.literal(uint8_t(c));
  w1.tableChange();
  w1.tables(skewedLengths());
  StreamWriter w2;
  w2.useTables(skewedLengths());
  w2.longMatch(6, 6);
  w2.literal('!');

  Decoder d;
  EXPECT_EQ(d.run(w1.finish(), 12), text("solid stream"));
  EXPECT_EQ(d.run(w2.finish(), 7, true), text("stream!"));
}

TEST(MemberDecoder, PassedOverMemberDeliversNothingButKeepsTheWindow) {
  StreamWriter w;
  w.tables(flatLengths());
  for (char c : std::string("abc")) w.literal(uint8_t(c));
  Decoder d;
  EXPECT_TRUE(d.run(w.finish(), 3, false, false).empty());
  EXPECT_EQ(d.state.decoder.writePos, 3u);
  EXPECT_EQ(d.state.window[1], 'b');
}

TEST(MemberDecoder, StreamThatRunsOutOfPackedBytesStopsDecoding) {
  // Three literals, then nothing: decoding must not go on over stale input to the stated size.
  StreamWriter w;
  w.tables(flatLengths());
  for (char c : std::string("abc")) w.literal(uint8_t(c));
  Decoder d;
  const Bytes out = d.run(w.finish(), 500000);
  EXPECT_LT(out.size(), 16u);
  EXPECT_LT(d.state.decoder.writePos, 16u);
  EXPECT_EQ(std::string(out.begin(), out.begin() + 3), "abc");
}

TEST(MemberDecoder, OutputBeyondTheMemberSizeStopsDelivery) {
  // A match that overshoots the stated size: nothing past it is delivered.
  StreamWriter w;
  w.tables(flatLengths());
  w.literal('x');
  w.longMatch(100, 1);
  Decoder d;
  EXPECT_LT(d.run(w.finish(), 50).size(), 50u);
}

}  // namespace
