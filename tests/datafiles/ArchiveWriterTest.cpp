// Archives written by ArchiveWriter must extract byte for byte with our extractMember and with the
// independent `unar` tool, for every level, solid or not, enciphered or not, audio mode or not;
// damaged ones must fail cleanly. Also: the header fields, the code-length limits and the API's
// refusals.
#include "datafiles/ArchiveWriter.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

#include "datafiles/ArchiveReader.h"
#include "datafiles/Crc32.h"
#include "datafiles/HuffmanEncoder.h"
#include "datafiles/MatchFinder.h"

namespace fs = std::filesystem;
using datafiles::ArchiveOptions;
using datafiles::ArchiveWriter;
using datafiles::AudioMode;
using Bytes = std::vector<uint8_t>;

namespace {

struct Member {
  std::string name;
  Bytes content;
};

Bytes randomBytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& x : b) x = uint8_t(rng());
  return b;
}

Bytes text(size_t n, unsigned seed) {
  static const char* words[] = {"archive ", "window ", "member ", "the ", "of ", "solid ",
                                "cipher\n", "table ", "match ", "distance ", "length ", "a "};
  std::mt19937 rng(seed);
  std::string s;
  while (s.size() < n) s += words[rng() % 12];
  return Bytes(s.begin(), s.begin() + n);
}

// Code-like bytes: records with small varying fields and repeated opcodes.
Bytes binary(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes b;
  while (b.size() < n) {
    const uint32_t v = rng();
    const uint8_t record[] = {0x48, 0x8B, uint8_t(0x40 + v % 8), uint8_t(v >> 8), 0xE8,
                              uint8_t(v >> 16), uint8_t(v >> 24 & 3), 0, 0, 0xC3};
    b.insert(b.end(), record, record + (v % 3 == 0 ? 10 : 5));
  }
  b.resize(n);
  return b;
}

// 16-bit stereo PCM: two tones with a little noise per channel.
Bytes stereoPcm(size_t frames, unsigned seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> noise(0, 60);
  Bytes b;
  for (size_t i = 0; i < frames; ++i) {
    const double t = double(i) / 44100;
    const int16_t l = int16_t(9000 * std::sin(2 * M_PI * 220 * t) + noise(rng));
    const int16_t r = int16_t(7000 * std::sin(2 * M_PI * 330 * t + 1) + noise(rng));
    for (int16_t v : {l, r}) {
      b.push_back(uint8_t(v));
      b.push_back(uint8_t(uint16_t(v) >> 8));
    }
  }
  return b;
}

// A member over 1 MiB whose second half repeats its first from more than 512 KiB back, so that
// matches reach far and the decoder's window wraps.
Bytes beyondWindow() {
  Bytes b = text(700 * 1024, 7);
  const Bytes noise = randomBytes(64 * 1024, 8);
  b.insert(b.end(), noise.begin(), noise.end());
  b.insert(b.end(), b.begin(), b.begin() + 600 * 1024);
  return b;
}

// In solid archives the order matters: an empty member right after one packed in audio mode, and
// members small enough to go on with the tables in force.
std::vector<Member> smallCorpus() {
  return {{"empty.bin", {}},
          {"one.bin", {0x5A}},
          {"dir/stereo.pcm", stereoPcm(30000, 4)},
          {"empty2.bin", {}},
          {"text.txt", text(40000, 1)},
          {"tiny.txt", text(7, 12)},
          {"code.bin", binary(30000, 2)},
          {"random.bin", randomBytes(20000, 3)},
          {"runs.bin", Bytes(70000, 0xEE)}};
}

Bytes readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& p, const Bytes& b) {
  std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
}

Bytes pack(const ArchiveOptions& options, const std::vector<Member>& members,
           std::vector<datafiles::WrittenMember>* written = nullptr) {
  ArchiveWriter writer(options);
  for (const Member& m : members) writer.addMember(m.name, m.content);
  if (written) *written = writer.members();
  return writer.finish();
}

// Our reader on the archive at `path`; false when it fails.
bool extract(const fs::path& path, const std::string& name, const std::string& pass, Bytes& out) {
  uint8_t* data = nullptr;
  uint32_t size = 0;
  if (!datafiles::extractMember(name, path.string(), pass.c_str(), data, size)) return false;
  out.assign(data, data + size);
  std::free(data);
  return true;
}

class ArchiveWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(std::system("command -v unar >/dev/null 2>&1"), 0)
        << "unar is not installed (scripts/install-deps installs it)";
    dir = fs::temp_directory_path() /
          ("writer-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  fs::path save(const Bytes& archive) {
    const fs::path file = dir / ("a" + std::to_string(++files) + ".rar");
    writeFile(file, archive);
    return file;
  }

  // unar's exit status extracting everything into a fresh folder (returned in `out`).
  int unar(const fs::path& archive, const std::string& pass, fs::path& out) {
    out = dir / ("out" + std::to_string(++files));
    std::string cmd = "unar -q -f -D -o '" + out.string() + "' ";
    if (!pass.empty()) cmd += "-p '" + pass + "' ";
    cmd += "'" + archive.string() + "' >/dev/null 2>&1";
    return std::system(cmd.c_str());
  }

  // Every member through both readers.
  void expectRoundTrip(const ArchiveOptions& options, const std::vector<Member>& members) {
    const fs::path file = save(pack(options, members));
    for (const Member& m : members) {
      Bytes got;
      ASSERT_TRUE(extract(file, m.name, options.passPhrase, got)) << m.name;
      EXPECT_TRUE(got == m.content) << m.name;
    }
    fs::path out;
    ASSERT_EQ(unar(file, options.passPhrase, out), 0);
    for (const Member& m : members) EXPECT_TRUE(readFile(out / m.name) == m.content) << m.name;
  }

  fs::path dir;
  int files = 0;
};

ArchiveOptions make(int level, bool solid, const std::string& pass, AudioMode audio) {
  ArchiveOptions o;
  o.level = level;
  o.solid = solid;
  o.passPhrase = pass;
  o.audio = audio;
  return o;
}

TEST_F(ArchiveWriterTest, RoundTripsThroughBothReaders) {
  const ArchiveOptions cases[] = {
      make(0, false, "", AudioMode::Automatic),          make(1, false, "", AudioMode::Automatic),
      make(2, false, "", AudioMode::Off),                make(3, false, "", AudioMode::Automatic),
      make(4, false, "", AudioMode::Always),             make(5, false, "", AudioMode::Automatic),
      make(1, true, "", AudioMode::Automatic),           make(3, true, "", AudioMode::Always),
      make(5, true, "", AudioMode::Off),                 make(0, false, "marzipol", AudioMode::Off),
      make(3, false, "marzipol", AudioMode::Automatic),  make(3, true, "marzipol", AudioMode::Automatic),
      make(2, true, std::string(40, 'k'), AudioMode::Always),
  };
  for (const ArchiveOptions& o : cases) {
    SCOPED_TRACE("level " + std::to_string(o.level) + (o.solid ? " solid" : "") +
                 (o.passPhrase.empty() ? "" : " enciphered") + " audio " +
                 std::to_string(int(o.audio)));
    expectRoundTrip(o, smallCorpus());
  }
}

TEST_F(ArchiveWriterTest, MemberBeyondTheWindowRoundTrips) {
  std::vector<Member> members = {{"big.txt", beyondWindow()}, {"after.txt", text(300000, 9)}};
  for (bool solid : {false, true}) {
    SCOPED_TRACE(solid ? "solid" : "not solid");
    expectRoundTrip(make(datafiles::kDefaultLevel, solid, "", AudioMode::Automatic), members);
  }
}

TEST_F(ArchiveWriterTest, PacksAsExpected) {
  std::vector<datafiles::WrittenMember> written;
  const std::vector<Member> members = {{"runs.bin", Bytes(1 << 20, 0)},
                                       {"stereo.pcm", stereoPcm(60000, 5)},
                                       {"random.bin", randomBytes(5000, 6)},
                                       {"text.txt", text(100000, 10)}};
  pack(make(datafiles::kDefaultLevel, false, "", AudioMode::Automatic), members, &written);
  ASSERT_EQ(written.size(), 4u);
  EXPECT_LT(written[0].packedSize, 1024u);  // repeat codes carry a megabyte of zeros
  EXPECT_EQ(written[0].method, 0x33);
  EXPECT_TRUE(written[1].audio);  // sound goes through the predictors...
  EXPECT_LT(written[1].packedSize, members[1].content.size() * 3 / 4);
  EXPECT_FALSE(written[3].audio);  // ...text does not
  EXPECT_EQ(written[2].method, 0x30);  // random bytes are stored
  EXPECT_EQ(written[2].packedSize, 5000u);
  EXPECT_LT(written[3].packedSize, members[3].content.size() / 3);
  // Audio off: the same sound packs larger.
  pack(make(datafiles::kDefaultLevel, false, "", AudioMode::Off), members, &written);
  EXPECT_FALSE(written[1].audio);
}

uint16_t le16(const Bytes& b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }
uint32_t le32(const Bytes& b, size_t at) { return le16(b, at) | uint32_t(le16(b, at + 2)) << 16; }

TEST_F(ArchiveWriterTest, HeadersCarryEveryField) {
  struct Case {
    bool solid;
    std::string pass;
    int level;
    uint16_t mainFlags;
    uint16_t firstFlags, secondFlags;
    uint8_t method;
  } cases[] = {
      {false, "", 0, 0x0000, 0x8080, 0x8080, 0x30},
      {false, "", 4, 0x0000, 0x8080, 0x8080, 0x34},
      {true, "", 1, 0x0008, 0x8080, 0x8090, 0x31},
      {true, "pw", 5, 0x0008, 0x8084, 0x8094, 0x35},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.level) + (c.solid ? " solid" : "") + (c.pass.empty() ? "" : " pw"));
    ArchiveWriter writer(make(c.level, c.solid, c.pass, AudioMode::Off));
    datafiles::MemberOptions when;
    std::tm t{};
    t.tm_year = 2001 - 1900, t.tm_mon = 6, t.tm_mday = 14, t.tm_hour = 13, t.tm_min = 37, t.tm_sec = 58;
    t.tm_isdst = -1;
    when.modified = std::mktime(&t);
    const Bytes content = text(3000, 3);
    writer.addMember("data/first.ob3", content, when);
    writer.addMember("second", content);
    const Bytes a = writer.finish();
    ASSERT_GT(a.size(), 20u + 2 * 40u);
    EXPECT_EQ(Bytes(a.begin(), a.begin() + 7), (Bytes{0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00}));
    // Main header.
    EXPECT_EQ(a[9], 0x73);
    EXPECT_EQ(le16(a, 10), c.mainFlags);
    EXPECT_EQ(le16(a, 12), 13);
    EXPECT_EQ(le16(a, 7), datafiles::crc32(a.data() + 9, 11) & 0xFFFF);
    // File headers.
    size_t at = 20;
    for (int i = 0; i < 2; ++i) {
      const std::string name = i == 0 ? "data\\first.ob3" : "second";
      const uint16_t headSize = le16(a, at + 5);
      ASSERT_EQ(headSize, 32 + name.size());
      EXPECT_EQ(le16(a, at), datafiles::crc32(a.data() + at + 2, headSize - 2) & 0xFFFF);
      EXPECT_EQ(a[at + 2], 0x74);
      EXPECT_EQ(le16(a, at + 3), i == 0 ? c.firstFlags : c.secondFlags);
      EXPECT_EQ(le32(a, at + 11), content.size());
      EXPECT_EQ(a[at + 15], 2);  // Win32
      EXPECT_EQ(le32(a, at + 16), datafiles::crc32(content.data(), content.size()));
      EXPECT_EQ(le32(a, at + 20), i == 0 ? 0x2AEE6CBDu : 0x00210000u);  // DOS time
      EXPECT_EQ(a[at + 24], 20);
      EXPECT_EQ(a[at + 25], c.method);
      EXPECT_EQ(std::string(a.begin() + at + 32, a.begin() + at + headSize), name);
      EXPECT_EQ(le32(a, at + 28), 0x20u);
      const uint32_t packSize = le32(a, at + 7);
      if (!c.pass.empty()) {
        EXPECT_EQ(packSize % 16, 0u);
      }
      at += headSize + packSize;
    }
    EXPECT_EQ(at, a.size());
  }
}

TEST_F(ArchiveWriterTest, DamagedArchivesFailInBothReaders) {
  const Member member{"text.txt", text(50000, 11)};
  struct Case {
    const char* what;
    std::string pass;     // written under
    std::string readPass; // read with
    int damage;           // 0 none, 1 flipped bit in the data, 2 cut short
  } cases[] = {
      {"flipped bit", "", "", 1},
      {"cut short", "", "", 2},
      {"wrong pass phrase", "marzipol", "marzipan", 0},
      {"enciphered, flipped bit", "marzipol", "marzipol", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes a = pack(make(datafiles::kDefaultLevel, false, c.pass, AudioMode::Automatic), {member});
    if (c.damage == 1) a[a.size() / 2] ^= 0x10;
    if (c.damage == 2) a.resize(a.size() - 100);
    const fs::path file = save(a);
    Bytes got;
    EXPECT_FALSE(extract(file, member.name, c.readPass, got));
    fs::path out;
    const int status = unar(file, c.readPass, out);
    EXPECT_FALSE(status == 0 && readFile(out / member.name) == member.content);
  }
}

TEST(HuffmanEncoderTest, CodeLengthsAreCompleteAndLimited) {
  std::vector<std::vector<uint32_t>> cases = {
      {},                 // nothing used: two codes anyway
      {0, 0, 7, 0},       // one symbol
      {1, 1},             // two
      {5, 9, 1, 1, 3, 200, 0, 0, 4},
  };
  // Fibonacci frequencies make a plain Huffman code 30 deep.
  std::vector<uint32_t> fibonacci = {1, 1};
  while (fibonacci.size() < 30) fibonacci.push_back(fibonacci[fibonacci.size() - 1] + fibonacci[fibonacci.size() - 2]);
  cases.push_back(fibonacci);
  cases.push_back(std::vector<uint32_t>(298, 1));
  for (auto& freq : cases) {
    if (freq.size() < 2) freq.resize(4, 0);
    const std::vector<uint8_t> lengths = datafiles::buildCodeLengths(freq.data(), freq.size());
    double kraft = 0;
    int used = 0;
    for (size_t i = 0; i < freq.size(); ++i) {
      EXPECT_LE(lengths[i], 15);
      if (freq[i] > 0) {
        EXPECT_GT(lengths[i], 0) << i;
      }
      if (lengths[i]) kraft += std::ldexp(1.0, -lengths[i]), ++used;
    }
    EXPECT_GE(used, 2);
    EXPECT_DOUBLE_EQ(kraft, 1.0);
  }
}

TEST(MatchFinderTest, OffersNearerShorterMatchesBeforeTheLongest) {
  // "abc" 100 bytes back, "abcdef" 200 back, "abcdefg" 300 back; searching at "abcdefg.".
  std::string text(400, '.');
  text.replace(0, 8, "abcdefg!");
  text.replace(100, 7, "abcdef2");
  text.replace(200, 4, "abc3");
  text.replace(300, 7, "abcdefg");
  const auto* data = reinterpret_cast<const uint8_t*>(text.data());
  struct Case {
    unsigned depth;
    std::vector<std::pair<uint32_t, uint32_t>> expected;  // length, distance
  } cases[] = {{8, {{3, 100}, {6, 200}, {7, 300}}}, {1, {{3, 100}, {6, 200}}}};
  for (const Case& c : cases) {
    datafiles::MatchFinder finder({c.depth, 64, 64, 20});
    finder.reset(data, text.size());
    for (size_t p = 0; p < 300; ++p) finder.insert(p);
    EXPECT_EQ(finder.shortDistance(300), 100u);  // "ab" last seen at 200
    const auto found = finder.findAndInsert(300, 50);
    std::vector<std::pair<uint32_t, uint32_t>> got;
    for (unsigned k = 0; k < found.count; ++k) got.push_back({found.list[k].length, found.list[k].distance});
    EXPECT_EQ(got, c.expected) << "depth " << c.depth;
  }
}

// A finder that goes on over grown data finds, at every later position, what a finder that saw
// all the data from the start finds.
TEST(MatchFinderTest, GoingOnOverGrownDataFindsWhatOneStartFinds) {
  const Bytes data = text(20000, 4);
  for (const size_t first : {size_t(0), size_t(1), size_t(3), size_t(4), size_t(5000), size_t(19999)}) {
    SCOPED_TRACE("first part " + std::to_string(first));
    datafiles::MatchFinder whole({16, 48, 16, 17}), grown({16, 48, 16, 17});
    whole.reset(data.data(), data.size());
    // The grown one sees the first part in a buffer of its own, then the whole.
    const Bytes part(data.begin(), data.begin() + long(first));
    grown.reset(part.data(), part.size());
    for (size_t p = 0; p < first; ++p) {
      whole.insert(p);
      grown.insert(p);
    }
    grown.extend(data.data(), data.size());
    size_t differing = 0;
    for (size_t p = first; p + 1 < data.size(); ++p) {
      EXPECT_EQ(whole.shortDistance(p), grown.shortDistance(p)) << p;
      const uint32_t maxLength = uint32_t(std::min<size_t>(data.size() - p, 260));
      const auto a = whole.findAndInsert(p, maxLength), b = grown.findAndInsert(p, maxLength);
      bool same = a.count == b.count;
      for (unsigned k = 0; same && k < a.count; ++k)
        same = a.list[k].length == b.list[k].length && a.list[k].distance == b.list[k].distance;
      differing += !same;
    }
    EXPECT_EQ(differing, 0u);
  }
}

// Many members in one solid stream, more than the buffer holds before it slides back to one
// window, and each member repeating earlier ones: both readers give every member back.
TEST_F(ArchiveWriterTest, LongSolidStreamOfManyMembersRoundTrips) {
  std::vector<Member> members;
  for (unsigned i = 0; i < 220; ++i) {  // 4.8 MB in all
    Bytes content = text(24000 + (i * 977) % 9000, i % 11);
    if (i % 5 == 0) content = binary(2000 + i, i);
    if (i % 17 == 0) content.clear();
    members.push_back({"m" + std::to_string(i) + ".txt", content});
  }
  ArchiveOptions options = make(datafiles::kFastestLevel, true, "", AudioMode::Off);
  const Bytes archive = pack(options, members);
  const fs::path file = save(archive);
  size_t i = 0;
  const datafiles::WalkResult r = datafiles::walkArchive(file.string(), {}, [&](const datafiles::WalkedMember& m) {
    EXPECT_EQ(m.outcome, datafiles::MemberOutcome::Ok) << m.name;
    EXPECT_TRUE(i < members.size() && Bytes(m.data, m.data + m.size) == members[i].content) << m.name;
    ++i;
    return true;
  });
  EXPECT_EQ(r.end, datafiles::WalkEnd::Complete);
  EXPECT_EQ(i, members.size());
  fs::path out;
  ASSERT_EQ(unar(file, "", out), 0);
  for (const Member& m : members) EXPECT_TRUE(readFile(out / m.name) == m.content) << m.name;
}

// The archive goes through a new file beside the target: nothing at a name the writer might
// pick (here a link at the old temporary name) is written through, and failures say why.
TEST_F(ArchiveWriterTest, FinishingToAFileFollowsNoLinkAndGivesTheReason) {
  const fs::path target = dir / "a.rar", victim = dir / "victim.txt";
  writeFile(victim, Bytes{'v'});
  fs::create_symlink(victim, dir / "a.rar.partial");
  ArchiveWriter writer;
  writer.addMember("x", Bytes{1, 2, 3});
  std::string error;
  ASSERT_TRUE(writer.finishToFile(target.string(), &error)) << error;
  EXPECT_TRUE(readFile(victim) == Bytes{'v'});
  Bytes got;
  EXPECT_TRUE(extract(target, "x", "", got) && got == (Bytes{1, 2, 3}));
  size_t entries = 0;
  for (const auto& entry : fs::directory_iterator(dir)) entries += !entry.path().empty();
  EXPECT_EQ(entries, 3u);  // the target, the victim and the link: no temporary left

  ArchiveWriter other;
  other.addMember("x", Bytes{1});
  EXPECT_FALSE(other.finishToFile((dir / "no" / "a.rar").string(), &error));
  EXPECT_NE(error.find("cannot be created: No such file or directory"), std::string::npos) << error;
}

TEST(ArchiveWriterApiTest, RefusesWhatCannotBeWritten) {
  ArchiveWriter writer;
  EXPECT_THROW(writer.addMember("", Bytes{1}), std::invalid_argument);
  EXPECT_THROW(writer.addMember(std::string(260, 'n'), Bytes{1}), std::invalid_argument);
  writer.addMember(std::string(259, 'n'), Bytes{1});
  writer.finish();
  EXPECT_THROW(writer.addMember("late", Bytes{1}), std::invalid_argument);

  ArchiveWriter other;
  other.addMember("x", Bytes{1, 2, 3});
  std::string error;
  const std::string path = "/nonexistent-folder/a.rar";
  EXPECT_FALSE(other.finishToFile(path, &error));
  EXPECT_NE(error.find(path), std::string::npos);
}

}  // namespace
