// Archive layout, member lookup and the reader's handling of damaged or hostile archives.
#include <gtest/gtest.h>

#include "ArchiveTestBuilder.h"
#include "datafiles/ArchiveReaderState.h"

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

}  // namespace
