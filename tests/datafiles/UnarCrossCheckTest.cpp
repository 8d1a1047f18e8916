// Archives built here are extracted both by extractMember and by the independent `unar` tool;
// the two must agree byte for byte. Covers the decoder's format, the audio predictor, solid
// streams and the cipher's key schedule against an implementation that is not ours.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "ArchiveTestBuilder.h"

using namespace archivetest;
namespace fs = std::filesystem;

namespace {

bool haveUnar() { return std::system("command -v unar >/dev/null 2>&1") == 0; }

Bytes readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class UnarCrossCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!haveUnar()) GTEST_SKIP() << "unar is not installed";
    dir = fs::temp_directory_path() / ("unar-check-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir / "out");
  }
  void TearDown() override {
    if (!dir.empty() && !std::getenv("KEEP")) fs::remove_all(dir);
  }

  // Extracts every member with unar into a fresh folder and returns the folder.
  fs::path unar(const Bytes& archive, const std::string& passPhrase = "") {
    const fs::path file = dir / "test.rar";
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(archive.data()), archive.size());
    const fs::path out = dir / ("out" + std::to_string(++runs));
    std::string cmd = "unar -q -f -D -o '" + out.string() + "' ";
    if (!passPhrase.empty()) cmd += "-p '" + passPhrase + "' ";
    cmd += "'" + file.string() + "' >/dev/null 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    return out;
  }

  fs::path dir;
  int runs = 0;
};

TEST_F(UnarCrossCheck, CompressedMembersUnderBothCodeShapes) {
  ArchiveBuilder a;
  std::vector<Bytes> contents;
  int i = 0;
  for (const Bytes& lengths : {flatLengths(), skewedLengths(), Bytes()}) {
    const GeneratedStream g = randomStream(11 + i, 200000, lengths, 40);
    a.add(packedMember("m" + std::to_string(i++), g.packed, g.content));
    contents.push_back(g.content);
  }
  const fs::path out = unar(a.bytes);
  for (int k = 0; k < 3; ++k) {
    const std::string name = "m" + std::to_string(k);
    EXPECT_TRUE(readFile(out / name) == contents[k]) << name;
    const Extracted e = extract(a.bytes, name);
    EXPECT_EQ(e.result, 1);
    EXPECT_TRUE(e.data == contents[k]) << name;
  }
}

TEST_F(UnarCrossCheck, AudioModeWithOneToFourChannels) {
  // Long enough for the weights to adapt many times; differences near zero like real audio.
  ArchiveBuilder a;
  std::vector<Bytes> contents;
  for (uint32_t channels = 1; channels <= 4; ++channels) {
    StreamWriter w;
    w.tables(Bytes(channels * kAudio, 9), true, channels);
    std::mt19937 rng(channels);
    const uint32_t size = 20000;
    for (uint32_t n = 0; n < size; ++n) {
      const uint32_t spread = uniform(rng, 0, 7) == 0 ? 40 : 4;
      w.audioSymbol(n % channels, (uniform(rng, 0, 2 * spread) + 256 - spread) & 255);
    }
    const Bytes packed = w.finish();
    const Bytes content = decodePacked(packed, size);
    ASSERT_EQ(content.size(), size);
    a.add(packedMember("audio" + std::to_string(channels), packed, content));
    contents.push_back(content);
  }
  const fs::path out = unar(a.bytes);
  for (uint32_t channels = 1; channels <= 4; ++channels)
    EXPECT_TRUE(readFile(out / ("audio" + std::to_string(channels))) == contents[channels - 1])
        << channels << " channels";
}

TEST_F(UnarCrossCheck, SolidStreamCarriesTablesAndWindowAcrossMembers) {
  // Member 2 continues the stream: it copies from member 1's bytes, first with member 1's tables,
  // then after a table change of its own. (unar reads no table change at the end of a member, so
  // that case is covered by the decoder's own tests only.)
  ArchiveBuilder a(true);
  StreamWriter s1;
  s1.tables(flatLengths());
  ContentModel m;
  std::mt19937 rng(9);
  for (int n = 0; n < 30000; ++n) {
    if (n > 10 && uniform(rng, 0, 2) == 0) {
      const uint32_t distance = uniform(rng, 1, uint32_t(m.out.size()));
      const uint32_t length = uniform(rng, 3, 40) + (distance >= 0x2000);
      s1.longMatch(length, distance), m.match(length, distance);
    } else {
      const uint8_t b = uint8_t(uniform(rng, 'a', 'k'));
      s1.literal(b), m.literal(b);
    }
  }
  const Bytes first = m.out;
  StreamWriter s2;
  s2.useTables(flatLengths());
  s2.longMatch(30, 1000), m.match(30, 1000);
  s2.tableChange();
  s2.tables(skewedLengths());
  for (int n = 0; n < 2000; ++n) {
    const uint32_t distance = uniform(rng, 1, uint32_t(m.out.size()));
    s2.longMatch(20, distance), m.match(20, distance);
    s2.literal('#'), m.literal('#');
  }
  const Bytes second(m.out.begin() + first.size(), m.out.end());
  Member one = packedMember("one", s1.finish(), first);
  Member two = packedMember("two", s2.finish(), second);
  two.flags |= 0x0010;
  a.add(one).add(two);

  const fs::path out = unar(a.bytes);
  EXPECT_TRUE(readFile(out / "two") == second);
  const Extracted e = extract(a.bytes, "two");
  EXPECT_EQ(e.result, 1);
  EXPECT_TRUE(e.data == second);
}

TEST_F(UnarCrossCheck, EncipheredMembersUnderThePassPhrase) {
  // Stored with a size that is not a multiple of 16, and compressed.
  Bytes text;
  for (int i = 0; i < 1001; ++i) text.push_back(uint8_t('a' + i % 26));
  const GeneratedStream g = randomStream(3, 100000, skewedLengths());
  for (const char* phrase : {"marzipol", "x", "a rather long pass phrase of more than sixteen"}) {
    ArchiveBuilder a;
    a.add(enciphered(storedMember("s.txt", text), phrase));
    a.add(enciphered(packedMember("c.bin", g.packed, g.content), phrase));
    const fs::path out = unar(a.bytes, phrase);
    EXPECT_TRUE(readFile(out / "s.txt") == text) << phrase;
    EXPECT_TRUE(readFile(out / "c.bin") == g.content) << phrase;
    EXPECT_TRUE(extract(a.bytes, "s.txt", phrase).data == text) << phrase;
    EXPECT_TRUE(extract(a.bytes, "c.bin", phrase).data == g.content) << phrase;
  }
}

}  // namespace
