// The decompressor on small streams written symbol by symbol.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "ArchiveTestBuilder.h"
#include "datafiles/ArchiveReaderState.h"
#include "datafiles/MemberDecoder.h"
#include "support/TempFiles.h"

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
    std::FILE* f = testsupport::openBytes(copy);
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

TEST(MemberDecoder, QuickTableAgreesWithTheCodeSearchForAnyLengths) {
  // Proper codes and the incomplete or over-full ones a damaged stream sends. A prefix's entry
  // must be what the search over limit / firstIndex / symbols gives for its code value: the
  // symbol and code length when that is at most 10 bits, else 0.
  std::mt19937 rng(5);
  const uint32_t counts[] = {19, 28, 48, 257, 298};
  for (int round = 0; round < 300; ++round) {
    const uint32_t count = counts[uniform(rng, 0, 4)];
    const uint32_t top = round % 3 == 0 ? 15 : round % 3 == 1 ? 9 : 12;
    Bytes lengths(count);
    for (uint8_t& l : lengths) l = uint8_t(uniform(rng, 0, 3) == 0 ? 0 : uniform(rng, 1, top));
    datafiles::HuffmanTable t;
    datafiles::buildDecodeTable(lengths.data(), count, t);
    for (uint32_t prefix = 0; prefix < 1024; ++prefix) {
      const uint32_t v = prefix << 6;
      uint32_t bits = 1;
      while (bits < 15 && v >= t.limit[bits]) ++bits;
      const uint32_t index = t.firstIndex[bits] + ((v - t.limit[bits - 1]) >> (16 - bits));
      const uint32_t expected = bits <= 10 ? t.symbols[index < count ? index : 0] << 6 | bits : 0;
      ASSERT_EQ(t.quick[prefix], expected) << "round " << round << " prefix " << prefix;
    }
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

// The audio predictor as plainly written as it can be, sample by sample, to check the decoder's
// batched version against: same bytes, same channel state.
class AudioModel {
 public:
  uint8_t sample(uint32_t channel, uint32_t s) {
    datafiles::AudioChannelState& v = channels[channel];
    v.sampleCount += 1;
    v.delta4 = v.delta3;
    v.delta3 = v.delta2;
    v.delta2 = v.ownDelta - v.delta1;
    v.delta1 = v.ownDelta;
    const int32_t p = ((8 * v.lastValue + v.w1 * v.delta1 + v.w2 * v.delta2 + v.w3 * v.delta3 +
                        v.w4 * v.delta4 + v.w5 * cross) >> 3) & 0xFF;
    const int32_t value = p - int32_t(s);
    const int32_t e = int32_t(int8_t(uint8_t(s))) * 8;
    const int32_t compared[11] = {0, v.delta1, -v.delta1, v.delta2, -v.delta2, v.delta3, -v.delta3,
                                  v.delta4, -v.delta4, cross, -cross};
    for (int i = 0; i < 11; ++i) v.errorSums[i] += uint32_t(std::abs(e - compared[i]));
    v.ownDelta = cross = int32_t(int8_t(uint8_t(value - v.lastValue)));
    v.lastValue = value;
    if (v.sampleCount % 32 == 0) {
      int best = 0;
      for (int i = 1; i < 11; ++i)
        if (v.errorSums[i] < v.errorSums[best]) best = i;
      for (uint32_t& sum : v.errorSums) sum = 0;
      int32_t* weights[5] = {&v.w1, &v.w2, &v.w3, &v.w4, &v.w5};
      if (best > 0) {
        int32_t& w = *weights[(best - 1) / 2];
        if (best % 2 == 1 && w >= -16) --w;
        if (best % 2 == 0 && w < 16) ++w;
      }
    }
    return uint8_t(value);
  }

  datafiles::AudioChannelState channels[4];
  int32_t cross = 0;
};

bool sameState(const datafiles::AudioChannelState& a, const datafiles::AudioChannelState& b) {
  return a.w1 == b.w1 && a.w2 == b.w2 && a.w3 == b.w3 && a.w4 == b.w4 && a.w5 == b.w5 &&
         a.delta1 == b.delta1 && a.delta2 == b.delta2 && a.delta3 == b.delta3 && a.delta4 == b.delta4 &&
         a.ownDelta == b.ownDelta && a.sampleCount == b.sampleCount && a.lastValue == b.lastValue &&
         std::equal(a.errorSums, a.errorSums + 11, b.errorSums);
}

TEST(MemberDecoder, AudioStreamsMatchAPlainPredictor) {
  // Each case: table sets in turn (1 to 4 audio channels, 0 for an LZ set with a few literals),
  // each with its number of samples; the stream is cut into solid members after `cut` sets. Sets
  // change channel counts mid-block, so channels reach their blocks of 32 at different points and
  // the cross delta comes from another channel's sample; long sets cross input refills.
  struct Case {
    std::vector<std::pair<uint32_t, uint32_t>> sets;  // (channels, samples)
    size_t cut;
  };
  const Case cases[] = {
      {{{1, 70000}}, 1},
      {{{2, 50001}}, 1},
      {{{3, 40000}}, 1},
      {{{4, 90003}}, 1},
      {{{2, 997}, {4, 1501}, {1, 333}, {3, 2000}, {0, 40}, {2, 777}, {4, 5}}, 7},
      {{{4, 3001}, {3, 1003}, {0, 9}, {1, 4097}}, 2},
      {{{3, 12345}, {2, 54321}}, 1},
  };
  int index = 0;
  for (const Case& c : cases) {
    std::mt19937 rng(100 + index);
    AudioModel model;
    uint32_t channel = 0, channels = 1;
    std::vector<StreamWriter> members(2);
    std::vector<Bytes> contents(2);
    Bytes lastLengths;
    bool lastAudio = false;
    for (size_t k = 0; k < c.sets.size(); ++k) {
      const auto [setChannels, samples] = c.sets[k];
      const size_t m = k < c.cut ? 0 : 1;
      StreamWriter& w = members[m];
      if (k == c.cut) w.useTables(lastLengths, lastAudio, channels);
      if (k > 0) {
        if (lastAudio)
          w.audioSymbol(channel, 256);
        else
          w.tableChange();
      }
      const bool audio = setChannels > 0;
      // Code lengths differ from set to set and channel to channel; every symbol has a code.
      Bytes lengths = audio ? Bytes(setChannels * kAudio) : flatLengths();
      if (audio)
        for (size_t i = 0; i < lengths.size(); ++i) lengths[i] = uint8_t(8 + (i * 7 + k) % 3);
      w.tables(lengths, audio, audio ? setChannels : 1, k > 0);
      lastLengths = lengths;
      lastAudio = audio;
      if (!audio) {
        for (uint32_t i = 0; i < samples; ++i) {
          const uint8_t b = uint8_t(rng());
          w.literal(b);
          contents[m].push_back(b);
        }
        continue;
      }
      channels = setChannels;
      if (channel >= channels) channel = 0;
      for (uint32_t i = 0; i < samples; ++i) {
        // Mostly small differences, as sound gives; now and then any byte.
        const uint32_t s = rng() % 16 == 0 ? rng() % 256 : (uniform(rng, 0, 10) + 251) & 255;
        w.audioSymbol(channel, s);
        contents[m].push_back(model.sample(channel, s));
        channel = channel + 1 == channels ? 0 : channel + 1;
      }
    }
    Decoder d;
    const Bytes first = d.run(members[0].finish(), uint32_t(contents[0].size()));
    EXPECT_TRUE(first == contents[0]) << "case " << index;
    if (!contents[1].empty()) {
      const Bytes second = d.run(members[1].finish(), uint32_t(contents[1].size()), true);
      EXPECT_TRUE(second == contents[1]) << "case " << index << ", second member";
    }
    for (uint32_t ch = 0; ch < 4; ++ch)
      EXPECT_TRUE(sameState(d.state.decoder.channels[ch], model.channels[ch])) << "case " << index << " channel " << ch;
    EXPECT_EQ(d.state.decoder.crossDelta, model.cross) << "case " << index;
    EXPECT_EQ(d.state.decoder.currentChannel, channel) << "case " << index;
    ++index;
  }
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

TEST(MemberDecoder, MatchesOfEveryShapeCopyAsIfByteByByte) {
  // Periods shorter than one 16-byte copy; sources ahead of the write position (a distance that
  // reaches back past the window's start: zeros at first, a window ago's bytes once it has
  // wrapped), near the window's end, or wrapping to its start within the match; and a distance of
  // the whole window, which copies every byte onto itself.
  StreamWriter w;
  w.tables(flatLengths());
  ContentModel m;
  std::mt19937 rng(11);
  auto literals = [&](size_t n) {
    for (size_t i = 0; i < n; ++i) {
      const uint8_t b = uint8_t(rng());
      w.literal(b), m.literal(b);
    }
  };
  auto match = [&](uint32_t length, uint32_t distance) { w.longMatch(length, distance), m.match(length, distance); };
  auto dst = [&] { return uint32_t(m.out.size()) & datafiles::kWindowMask; };
  auto shapes = [&] {
    for (uint32_t period = 2; period <= 17; ++period) {
      literals(period);
      match(3 + 7 * period, period);
      match(258, period);
    }
    match(200, dst() + 210);  // ahead, ending 10 bytes short of the window's end
    match(200, dst() + 100);  // ahead, wrapping to the start halfway
    match(200, datafiles::kWindowSize - 3);
    match(200, datafiles::kWindowSize);
    literals(40);
  };
  literals(50);
  shapes();
  literals(datafiles::kWindowSize);
  shapes();
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
