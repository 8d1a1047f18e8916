// Archive layout, member lookup, the walk over all members, and the reader's handling of damaged
// or hostile archives.
#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

#include "ArchiveTestBuilder.h"
#include "datafiles/ArchiveReaderState.h"
#include "datafiles/ArchiveWriter.h"
#include "support/TempFiles.h"

using namespace archivetest;

namespace {

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A small compressed member: literals and a match.
Member compressedMember(const std::string& name, const std::string& content) {
  StreamWriter w;
  w.tables(flatLengths());
  for (char c : content) w.literal(uint8_t(c));
  return packedMember(name, w.finish(), text(content));
}

void expectFailure(const Extracted& e, const std::string& what) {
  EXPECT_EQ(e.result, 0) << what;
  EXPECT_TRUE(e.dataIsNull) << what;
  EXPECT_EQ(e.size, 0u) << what;
}

TEST(ArchiveReader, FindsMembersByFoldedName) {
  struct Case {
    std::string stored, asked;
    bool found;
  };
  const Case cases[] = {
      {"BALLO.OB3", "ballo.ob3", true}, {"ballo.ob3", "BALLO.OB3", true}, {"a/b", "a\\b", true},
      {"a/b", "a_b", true},             {"a\\b", "a/b", true},            {"ballo.ob3", "ballo.ob", false},
      {"data\\ballo.ob3", "ballo.ob3", false}, {"\xE4.ob3", "\xC4.ob3", false},
  };
  for (const Case& c : cases) {
    ArchiveBuilder a;
    a.add(storedMember(c.stored, text("content")));
    const Extracted e = extract(a.bytes, c.asked);
    EXPECT_EQ(e.result, c.found ? 1 : 0) << c.stored << " asked as " << c.asked;
    if (c.found) {
      EXPECT_EQ(e.data, text("content"));
    }
  }
}

TEST(ArchiveReader, AcceptsBothMarkersAndRejectsOthers) {
  // Anything else at the start is not an archive, even when blocks follow.
  for (const bool alt : {false, true}) {
    ArchiveBuilder a(false, alt);
    a.add(compressedMember("m", "marker"));
    EXPECT_EQ(extract(a.bytes, "m").data, text("marker")) << "alt " << alt;
  }
  ArchiveBuilder a;
  a.add(storedMember("m", text("x")));
  for (const std::string& marker : {std::string("RE~^\0\0\0", 7), std::string("Rar!\x1A\x07\x01", 7)}) {
    Bytes bytes = a.bytes;
    std::copy(marker.begin(), marker.end(), bytes.begin());
    expectFailure(extract(bytes, "m"), "marker " + marker.substr(0, 4));
  }
  expectFailure(extract(Bytes(a.bytes.begin(), a.bytes.begin() + 6), "m"), "six bytes");
  expectFailure(extract(Bytes(a.bytes.begin(), a.bytes.begin() + 19), "m"), "main header cut short");
}

TEST(ArchiveReader, EarlierMemberIsSkippedUnlessTheArchiveIsSolid) {
  // The first member cannot be processed (version 26): a non-solid archive seeks past it, a
  // solid one must decode it and fails.
  for (const bool solid : {false, true}) {
    ArchiveBuilder a(solid);
    Member first = compressedMember("first", "never decoded");
    first.unpVer = 26;
    a.add(first).add(storedMember("second", text("wanted")));
    const Extracted e = extract(a.bytes, "second");
    EXPECT_EQ(e.result, solid ? 0 : 1) << "solid " << solid;
  }
}

TEST(ArchiveReader, AcceptsVersions13To20) {
  const std::pair<uint8_t, bool> cases[] = {{12, false}, {13, true}, {20, true}, {21, false}, {26, false}};
  for (const auto& [version, ok] : cases) {
    ArchiveBuilder a;
    Member m = compressedMember("m", "version");
    m.unpVer = version;
    a.add(m);
    EXPECT_EQ(extract(a.bytes, "m").result, ok ? 1 : 0) << "version " << int(version);
  }
}

TEST(ArchiveReader, PassesOverOtherBlocksAndStopsAtSubBlocks) {
  struct Case {
    const char* label;
    uint8_t type;
    uint16_t flags;
    Bytes data;
    bool ok;
  };
  const Case cases[] = {
      {"0x75 without data area", 0x75, 0x0000, {}, true},
      {"0x75 with data area", 0x75, 0x8000, Bytes(300, 0x74), true},
      {"0x7A with data area", 0x7A, 0x8000, Bytes(5, 0), true},
      {"sub-block", 0x77, 0x0000, {}, false},
  };
  for (const Case& c : cases) {
    ArchiveBuilder a;
    a.add(storedMember("before", text("b")));
    a.block(c.type, c.flags, 20, c.data);
    a.add(compressedMember("after", "after the block"));
    const Extracted e = extract(a.bytes, "after");
    EXPECT_EQ(e.result, c.ok ? 1 : 0) << c.label;
    if (c.ok) {
      EXPECT_EQ(e.data, text("after the block")) << c.label;
    }
  }
  // A sub-block after the member asked for is never reached.
  ArchiveBuilder a;
  a.add(storedMember("m", text("m")));
  a.block(0x77, 0, 20);
  EXPECT_EQ(extract(a.bytes, "m").result, 1);
}

TEST(ArchiveReader, FailsWhenTheArchiveEndsOrBlocksAreDamaged) {
  ArchiveBuilder a;
  a.add(storedMember("one", text("1")));
  expectFailure(extract(a.bytes, "two"), "member missing");

  ArchiveBuilder small;
  small.add(storedMember("one", text("1")));
  small.block(0x75, 0, 6);  // headSize below 7
  small.add(storedMember("two", text("2")));
  expectFailure(extract(small.bytes, "two"), "headSize 6");

  // A final header cut short by the end of the file.
  ArchiveBuilder cut;
  cut.add(storedMember("one", text("1")));
  cut.add(storedMember("two", text("2")));
  const size_t secondHeader = cut.bytes.size() - (32 + 3 + 1);
  for (size_t keep : {size_t(1), size_t(20), size_t(31), size_t(33)}) {
    const Bytes bytes(cut.bytes.begin(), cut.bytes.begin() + secondHeader + keep);
    expectFailure(extract(bytes, "two"), "header cut to " + std::to_string(keep));
  }
}

TEST(ArchiveReader, EncipheredMemberNeedsThePassPhrase) {
  ArchiveBuilder a;
  a.add(enciphered(compressedMember("c", "compressed and enciphered"), "marzipol"));
  a.add(enciphered(storedMember("s", text("stored and enciphered")), "marzipol"));
  for (const char* name : {"c", "s"}) {
    EXPECT_EQ(extract(a.bytes, name, "marzipol").result, 1) << name;
    expectFailure(extract(a.bytes, name, "marzipo1"), std::string(name) + " wrong phrase");
    expectFailure(extract(a.bytes, name, ""), std::string(name) + " empty phrase");
    expectFailure(extract(a.bytes, name, nullptr), std::string(name) + " null phrase");
  }
}

TEST(ArchiveReader, DataStartsAfterTheWholeHeader) {
  // Fields between the name and the data (a file comment, flag 0x0008) are stepped over.
  for (const bool stored : {true, false}) {
    Member m = stored ? storedMember("m", text("after a comment")) : compressedMember("m", "after a comment");
    m.flags |= 0x0008;
    m.extraHeader = text("a comment of the member");
    ArchiveBuilder a;
    a.add(m).add(storedMember("next", text("n")));
    EXPECT_EQ(extract(a.bytes, "m").data, text("after a comment")) << "stored " << stored;
    EXPECT_EQ(extract(a.bytes, "next").data, text("n")) << "stored " << stored;
  }
  // A header too small for its own name is damaged, even where the bytes at headSize would pass
  // the content check: here they are the name's last two bytes, equal to the data.
  Member m = storedMember("abXY", text("XY"));
  m.headSizeOverride = 32 + 2;
  ArchiveBuilder a;
  a.add(m);
  expectFailure(extract(a.bytes, "abXY"), "headSize below 32 + nameSize");
}

TEST(ArchiveReader, LongNamesAreBounded) {
  const std::string longName(300, 'n');
  ArchiveBuilder a;
  a.add(storedMember(longName, text("long")));
  // Both names are cut to 259 bytes, so they still meet.
  EXPECT_EQ(extract(a.bytes, longName).data, text("long"));
  EXPECT_EQ(extract(a.bytes, longName.substr(0, 259)).data, text("long"));
  EXPECT_EQ(extract(a.bytes, longName.substr(0, 258)).result, 0);
  // A pass phrase beyond 255 bytes is cut there and does not overflow anything.
  const std::string longPhrase(400, 'p');
  ArchiveBuilder b;
  b.add(enciphered(storedMember("s", text("secret")), longPhrase.substr(0, 255)));
  EXPECT_EQ(extract(b.bytes, "s", longPhrase.c_str()).data, text("secret"));
}

TEST(ArchiveReader, SizesThePackedDataCannotYieldAreRejected) {
  using datafiles::ArchiveFileHeader;
  constexpr uint64_t kPlenty = 1ull << 40;
  struct Case {
    uint8_t method;
    uint32_t packSize, unpSize;
    uint64_t inArchive;
    bool plausible;
  };
  const Case cases[] = {
      {0x30, 100, 100, kPlenty, true},     {0x30, 100, 101, kPlenty, false},
      {0x30, 0, 0, kPlenty, true},         {0x30, 100, 100, 99, false},
      {0x33, 100, 208000, kPlenty, true},  {0x33, 100, 208001, kPlenty, false},
      {0x33, 0, 0, kPlenty, true},         {0x33, 0, 1, kPlenty, false},
      {0x33, 2, 0xFFFFFFFF, kPlenty, false}, {0x33, 0x200000, 0xFFFFFFFF, kPlenty, true},
      {0x33, 0x200000, 0xFFFFFFFF, 1000, false}, {0x33, 0x200000, 2080000, 1000, true},
  };
  for (const Case& c : cases) {
    ArchiveFileHeader h;
    h.method = c.method;
    h.packSize = c.packSize;
    h.unpSize = c.unpSize;
    EXPECT_EQ(datafiles::isPlausibleSize(h, c.inArchive), c.plausible)
        << "method " << int(c.method) << " pack " << c.packSize << " unp " << c.unpSize << " in archive "
        << c.inArchive;
  }
  // In an archive: rejected before anything is allocated or decoded, also when packSize claims
  // more than the archive holds.
  for (const bool stored : {true, false}) {
    for (const bool inflated : {false, true}) {
      Member m = stored ? storedMember("m", text("abc")) : compressedMember("m", "abc");
      m.unpSize = inflated ? 0x10000000 : 0xFFFFFFF0;
      if (inflated) m.packSizeOverride = 0x7FFFFFFF;
      ArchiveBuilder a;
      a.add(m);
      expectFailure(extract(a.bytes, "m"), std::string(stored ? "stored" : "compressed") + (inflated ? " inflated" : ""));
    }
  }
}

TEST(ArchiveReader, EncipheredStoredMembersOfAnySize) {
  // The last cipher block is stored whole; only the member's bytes are delivered.
  for (const size_t size : {size_t(0), size_t(1), size_t(15), size_t(16), size_t(17), size_t(1001)}) {
    Bytes content(size);
    for (size_t i = 0; i < size; ++i) content[i] = uint8_t(i * 31 + 7);
    ArchiveBuilder a;
    a.add(enciphered(storedMember("s", content), "marzipol"));
    const Extracted e = extract(a.bytes, "s", "marzipol");
    EXPECT_EQ(e.result, 1) << "size " << size;
    EXPECT_EQ(e.data, content) << "size " << size;
  }
}

TEST(ArchiveReader, CutShortPackedDataFails) {
  for (const bool stored : {true, false}) {
    Member m = stored ? storedMember("m", Bytes(5000, 'z')) : compressedMember("m", std::string(500, 'z'));
    const size_t half = m.packed.size() / 2;
    ArchiveBuilder a;
    a.add(m);
    const Bytes bytes(a.bytes.begin(), a.bytes.end() - long(m.packed.size() - half));
    expectFailure(extract(bytes, "m"), stored ? "stored" : "compressed");
  }
}

// ---- The walk ----

using datafiles::MemberOutcome;
using datafiles::WalkEnd;

struct Walked {
  std::string name;
  MemberOutcome outcome;
  Bytes data;
};

struct WalkRecord {
  datafiles::WalkResult result;
  std::vector<Walked> members;
};

WalkRecord walk(const Bytes& archive, datafiles::WalkOptions options = {}) {
  WalkRecord record;
  Bytes copy = archive;
  std::FILE* f = testsupport::openBytes(copy);
  record.result = datafiles::walkArchive(f, options, [&](const datafiles::WalkedMember& m) {
    EXPECT_EQ(m.index, record.members.size());
    record.members.push_back({m.name, m.outcome, m.data ? Bytes(m.data, m.data + m.size) : Bytes()});
    return true;
  });
  std::fclose(f);
  return record;
}

// Members of every kind, solid or not, enciphered or not: the walk hands each one over in order
// with the content extractMember gives for it.
TEST(ArchiveWalk, HandsEveryMemberOverInOrderWithItsContent) {
  struct Case {
    const char* label;
    bool solid;
    int level;
    const char* pass;
  } cases[] = {
      {"stored", false, 0, ""},         {"compressed", false, 3, ""}, {"solid", true, 2, ""},
      {"solid, enciphered", true, 3, "marzipol"}, {"enciphered", false, 1, "marzipol"},
  };
  const std::vector<std::pair<std::string, Bytes>> members = {
      {"empty", {}},
      {"first.txt", text(std::string(3000, 'a') + "first")},
      {"dir/second.bin", text("second second second second second")},
      {"third", text(std::string(20000, 'q') + "the third")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    datafiles::ArchiveOptions options;
    options.solid = c.solid;
    options.level = c.level;
    options.passPhrase = c.pass;
    datafiles::ArchiveWriter writer(options);
    for (const auto& [name, content] : members) writer.addMember(name, content);
    const Bytes archive = writer.finish();
    datafiles::WalkOptions walkOptions;
    walkOptions.passPhrase = c.pass;
    const WalkRecord r = walk(archive, walkOptions);
    EXPECT_EQ(r.result.end, WalkEnd::Complete);
    EXPECT_EQ(r.result.solid, c.solid);
    EXPECT_EQ(r.result.members, members.size());
    ASSERT_EQ(r.members.size(), members.size());
    for (size_t i = 0; i < members.size(); ++i) {
      std::string stored = members[i].first;
      std::replace(stored.begin(), stored.end(), '/', '\\');
      EXPECT_EQ(r.members[i].name, stored);
      EXPECT_EQ(r.members[i].outcome, MemberOutcome::Ok) << stored;
      EXPECT_EQ(r.members[i].data, members[i].second) << stored;
      EXPECT_EQ(extract(archive, stored, c.pass).data, r.members[i].data) << stored;
    }
    // Headers only: nothing decoded, every member still handed over.
    walkOptions.decode = false;
    const WalkRecord headers = walk(archive, walkOptions);
    ASSERT_EQ(headers.members.size(), members.size());
    for (const Walked& m : headers.members) EXPECT_EQ(m.outcome, MemberOutcome::NotDecoded) << m.name;
  }
}

// Members whose names fold alike are each checked with their own bytes; extractMember keeps
// finding the first of them, as the program does.
TEST(ArchiveWalk, MembersThatFoldAlikeAreEachTheirOwn) {
  for (const bool solid : {false, true}) {
    SCOPED_TRACE(solid ? "solid" : "not solid");
    ArchiveBuilder a(solid);
    a.add(compressedMember("Dup.txt", "the first"));
    Member second = compressedMember("DUP.TXT", "the second");
    if (solid) second.flags |= 0x0010;
    second.fileCrc ^= 1;
    a.add(second);
    a.add(storedMember("a/b", text("third")));
    a.add(storedMember("A\\B", text("fourth")));
    const WalkRecord r = walk(a.bytes);
    ASSERT_EQ(r.members.size(), 4u);
    EXPECT_EQ(r.members[0].outcome, MemberOutcome::Ok);
    EXPECT_EQ(r.members[0].data, text("the first"));
    EXPECT_EQ(r.members[1].outcome, MemberOutcome::CrcMismatch);
    EXPECT_EQ(r.members[2].data, text("third"));
    EXPECT_EQ(r.members[3].data, text("fourth"));
    EXPECT_EQ(extract(a.bytes, "DUP.TXT").data, text("the first"));
    EXPECT_EQ(extract(a.bytes, "A\\B").data, text("third"));
  }
}

TEST(ArchiveWalk, SaysWhyEachMemberFailed) {
  // Not solid: each member on its own.
  ArchiveBuilder a;
  Member newer = compressedMember("newer", "version 26");
  newer.unpVer = 26;
  Member inflated = storedMember("inflated", text("abc"));
  inflated.unpSize = 0x10000000;
  Member damaged = compressedMember("damaged", "some text");
  damaged.fileCrc ^= 0x80;
  a.add(newer).add(enciphered(compressedMember("secret", "enciphered"), "marzipol")).add(inflated).add(damaged);
  a.add(storedMember("fine", text("fine")));
  const WalkRecord r = walk(a.bytes);
  EXPECT_EQ(r.result.end, WalkEnd::Complete);
  const MemberOutcome expected[] = {MemberOutcome::UnsupportedVersion, MemberOutcome::NeedsPassPhrase,
                                    MemberOutcome::ImplausibleSize, MemberOutcome::CrcMismatch, MemberOutcome::Ok};
  ASSERT_EQ(r.members.size(), 5u);
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(r.members[i].outcome, expected[i]) << r.members[i].name;
  EXPECT_TRUE(r.members[3].data.empty());  // no content for a member that failed

  // The pass phrase asked for once, at the first enciphered member.
  datafiles::WalkOptions options;
  int asked = 0;
  options.askPassPhrase = [&] {
    ++asked;
    return std::string("marzipol");
  };
  ArchiveBuilder two;
  two.add(storedMember("plain", text("p")));
  two.add(enciphered(compressedMember("one", "one"), "marzipol"));
  two.add(enciphered(storedMember("two", text("two")), "marzipol"));
  const WalkRecord prompted = walk(two.bytes, options);
  EXPECT_EQ(asked, 1);
  ASSERT_EQ(prompted.members.size(), 3u);
  EXPECT_EQ(prompted.members[1].data, text("one"));
  EXPECT_EQ(prompted.members[2].data, text("two"));

  // Solid: a member that cannot be decoded breaks the stream for the members that continue it,
  // not for one that starts a stream of its own.
  ArchiveBuilder solid(true);
  StreamWriter w;
  w.tables(flatLengths());
  for (char ch : std::string("start")) w.literal(uint8_t(ch));
  Member head = packedMember("head", w.finish(), text("start"));
  head.unpVer = 26;
  StreamWriter next;
  next.useTables(flatLengths());
  for (char ch : std::string("next")) next.literal(uint8_t(ch));
  Member continuing = packedMember("continuing", next.finish(), text("next"));
  continuing.flags |= 0x0010;
  solid.add(head).add(continuing).add(compressedMember("fresh", "a stream of its own"));
  const WalkRecord broken = walk(solid.bytes);
  ASSERT_EQ(broken.members.size(), 3u);
  EXPECT_EQ(broken.members[0].outcome, MemberOutcome::UnsupportedVersion);
  EXPECT_EQ(broken.members[1].outcome, MemberOutcome::StreamBroken);
  EXPECT_EQ(broken.members[2].outcome, MemberOutcome::Ok);
  EXPECT_EQ(broken.members[2].data, text("a stream of its own"));
}

TEST(ArchiveWalk, DecodesOnlyTheMembersAskedFor) {
  // Not solid: the others are passed over (a member that could not be decoded is not tried).
  ArchiveBuilder a;
  Member newer = compressedMember("skipped", "never decoded");
  newer.unpVer = 26;
  a.add(newer).add(compressedMember("wanted", "wanted"));
  datafiles::WalkOptions options;
  options.wanted = [](const datafiles::WalkedMember& m) { return m.name == "wanted"; };
  WalkRecord r = walk(a.bytes, options);
  ASSERT_EQ(r.members.size(), 2u);
  EXPECT_EQ(r.members[0].outcome, MemberOutcome::NotDecoded);
  EXPECT_EQ(r.members[1].data, text("wanted"));

  // Solid: the stream still runs through the members not asked for.
  datafiles::ArchiveOptions solid;
  solid.solid = true;
  datafiles::ArchiveWriter writer(solid);
  writer.addMember("before", text(std::string(5000, 'b') + "before"));
  writer.addMember("wanted", text(std::string(5000, 'b') + "wanted"));
  r = walk(writer.finish(), options);
  ASSERT_EQ(r.members.size(), 2u);
  EXPECT_EQ(r.members[0].outcome, MemberOutcome::NotDecoded);
  EXPECT_EQ(r.members[1].outcome, MemberOutcome::Ok);
  EXPECT_EQ(r.members[1].data, text(std::string(5000, 'b') + "wanted"));
}

TEST(ArchiveWalk, EndsAtDamageAndSaysWhere) {
  ArchiveBuilder good;
  good.add(storedMember("one", text("1")));
  good.block(0x77, 0x8000, 20, Bytes(4, 0));  // a sub-block is passed over
  good.add(storedMember("two", text("2")));
  WalkRecord r = walk(good.bytes);
  EXPECT_EQ(r.result.end, WalkEnd::Complete);
  EXPECT_EQ(r.members.size(), 2u);

  struct Case {
    const char* label;
    Bytes bytes;
    WalkEnd end;
    size_t members;
  };
  ArchiveBuilder small;
  small.add(storedMember("one", text("1")));
  const size_t damageAt = small.bytes.size();
  small.block(0x75, 0, 6);
  small.add(storedMember("two", text("2")));
  ArchiveBuilder past;
  past.add(storedMember("one", text("1")));
  past.add(storedMember("two", text("two")));
  past.bytes.resize(past.bytes.size() - 1);  // the last data area reaches past the end
  Bytes notArchive = good.bytes;
  notArchive[0] = 'X';
  Bytes mainHeader = good.bytes;
  mainHeader[12] = 12;  // headSize below 13
  const Case cases[] = {
      {"headSize 6", small.bytes, WalkEnd::Damaged, 1},
      {"data past the end", past.bytes, WalkEnd::Damaged, 1},
      {"cut inside a header", Bytes(good.bytes.begin(), good.bytes.begin() + 40), WalkEnd::Damaged, 0},
      {"no marker", notArchive, WalkEnd::NotAnArchive, 0},
      {"main header cut", Bytes(good.bytes.begin(), good.bytes.begin() + 15), WalkEnd::DamagedMainHeader, 0},
      {"main header too small", mainHeader, WalkEnd::DamagedMainHeader, 0},
  };
  for (const Case& c : cases) {
    r = walk(c.bytes);
    EXPECT_EQ(r.result.end, c.end) << c.label;
    EXPECT_EQ(r.members.size(), c.members) << c.label;
  }
  EXPECT_EQ(walk(small.bytes).result.damageOffset, int64_t(damageAt));

  const datafiles::WalkResult missing = datafiles::walkArchive("/nonexistent/archive.rar", {}, [](const auto&) { return true; });
  EXPECT_EQ(missing.end, WalkEnd::CannotOpen);
  EXPECT_EQ(missing.error, ENOENT);

  // The callback may stop the walk.
  size_t seen = 0;
  Bytes copy = good.bytes;
  std::FILE* f = testsupport::openBytes(copy);
  const datafiles::WalkResult stopped = datafiles::walkArchive(f, {}, [&](const auto&) { return ++seen < 1; });
  std::fclose(f);
  EXPECT_EQ(stopped.end, WalkEnd::Stopped);
  EXPECT_EQ(seen, 1u);
}

// The window is kept from call to call on a thread: a member that continues a stream but is the
// first one a call decodes must still start from a cleared window and fresh decoder state.
TEST(ArchiveReader, NothingOfAnEarlierCallReachesTheNext) {
  // An earlier call fills the window with 'X'.
  ArchiveBuilder full;
  StreamWriter w;
  w.tables(flatLengths());
  ContentModel xs;
  w.literal('X');
  xs.literal('X');
  for (int i = 0; i < 1000; ++i) {
    w.longMatch(200, 1);
    xs.match(200, 1);
  }
  full.add(packedMember("xs", w.finish(), xs.out));
  // A member flagged as continuing a stream, first in its archive: fresh tables decode every
  // symbol (15 bits each) as byte 0, so its 300 bytes must be zeros.
  ArchiveBuilder continuing;
  Member m = packedMember("zeros", Bytes(1024, 0xA5), Bytes(300, 0));
  m.flags |= 0x0010;
  continuing.add(m);
  // A member that starts a stream and copies from ahead of where it writes (a distance reaching
  // back past the window's start) must read zeros there, whatever an earlier call wrote: at 1,000,
  // inside the 200,001 bytes of "xs", and at 900,000, which members of 1.2 MB wrote on their way
  // round the window before they ended at about 150,000.
  ArchiveBuilder ahead;
  const uint32_t aheadOf[] = {1000, 900000};
  std::vector<ContentModel> zeros(2);
  for (size_t i = 0; i < 2; ++i) {
    StreamWriter wa;
    wa.tables(flatLengths());
    wa.literal('a');
    zeros[i].literal('a');
    wa.longMatch(200, datafiles::kWindowSize - aheadOf[i] + 1);
    zeros[i].match(200, datafiles::kWindowSize - aheadOf[i] + 1);
    ahead.add(packedMember("ahead" + std::to_string(i), wa.finish(), zeros[i].out));
  }
  // Members of 1.2 MB of one byte, which pass the window's end by literals (matches elsewhere) or
  // by a match: the decoder reaches the end either way.
  struct Lap {
    std::string name;
    ArchiveBuilder archive;
    ContentModel content;
  };
  auto lapMember = [](const std::string& name, uint8_t b, bool literalsAtTheEnd) {
    Lap lap;
    lap.name = name;
    StreamWriter w;
    w.tables(flatLengths());
    w.literal(b);
    lap.content.literal(b);
    const size_t size = datafiles::kWindowSize;
    while (lap.content.out.size() < 1200000) {
      const size_t at = lap.content.out.size();
      if (literalsAtTheEnd && at + 1000 > size && at < size + 1000) {
        w.literal(b);
        lap.content.literal(b);
      } else {
        w.longMatch(258, 1);
        lap.content.match(258, 1);
      }
    }
    lap.archive.add(packedMember(name, w.finish(), lap.content.out));
    return lap;
  };
  const Lap laps[] = {lapMember("ys", 'Y', true), lapMember("ms", 'M', false)};
  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(extract(full.bytes, "xs").data, xs.out);
    const Extracted e = extract(continuing.bytes, "zeros");
    EXPECT_EQ(e.result, 1);
    EXPECT_EQ(e.data, Bytes(300, 0));
    const WalkRecord r = walk(continuing.bytes);
    ASSERT_EQ(r.members.size(), 1u);
    EXPECT_EQ(r.members[0].data, Bytes(300, 0));
    ASSERT_EQ(extract(full.bytes, "xs").data, xs.out);
    EXPECT_EQ(extract(ahead.bytes, "ahead0").data, zeros[0].out);
    for (const Lap& lap : laps) {
      ASSERT_EQ(extract(lap.archive.bytes, lap.name).data, lap.content.out);
      EXPECT_EQ(extract(ahead.bytes, "ahead1").data, zeros[1].out);
    }
  }
  // Every thread has its own window.
  std::vector<std::thread> threads;
  std::vector<int> ok(4, 0);
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 5; ++i)
        ok[size_t(t)] += extract(full.bytes, "xs").data == xs.out && extract(continuing.bytes, "zeros").result == 1;
    });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(ok, std::vector<int>(4, 5));
}

}  // namespace
