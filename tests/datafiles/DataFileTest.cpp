// DataFile: plain files first, archive members second, one little-endian reader over both.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "ArchiveTestBuilder.h"
#include "datafiles/DataFile.h"

using namespace archivetest;
using datafiles::DataFile;
namespace fs = std::filesystem;

namespace {

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

void writeFile(const fs::path& p, const Bytes& bytes) {
  std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// Runs each test in a fresh working directory holding data/ and the program's archive "blow.job"
// (enciphered under the program's pass phrase).
class DataFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous = fs::current_path();
    dir = fs::temp_directory_path() / ("datafile-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir / "data");
    fs::current_path(dir);
  }
  void TearDown() override {
    fs::current_path(previous);
    fs::remove_all(dir);
  }
  void writeArchive(const std::vector<std::pair<std::string, Bytes>>& members) {
    ArchiveBuilder a;
    for (const auto& [name, content] : members) a.add(enciphered(storedMember(name, content), "marzipol"));
    writeFile("blow.job", a.bytes);
  }

  fs::path previous, dir;
};

TEST_F(DataFileTest, PlainFileComesFirstEvenWhenTheArchiveHasTheMember) {
  writeFile("data/ballo.ob3", text("plain"));
  writeArchive({{"ballo.ob3", text("from the archive")}});
  DataFile f("data\\ballo.ob3", "rb");
  EXPECT_EQ(f.failed(), 0);
  EXPECT_EQ(f.sourceKind(), datafiles::PlainFile);
  EXPECT_EQ(f.size(), 5u);
  char buffer[16] = {};
  EXPECT_EQ(f.readBytes(buffer, 5), 5u);
  EXPECT_STREQ(buffer, "plain");
}

TEST_F(DataFileTest, MissingFileIsTakenFromTheArchiveByItsBareName) {
  writeArchive({{"other", text("x")}, {"ballo.ob3", text("from the archive")}});
  for (const char* name : {"data\\ballo.ob3", "ballo.ob3", "a\\deeper\\path\\BALLO.OB3"}) {
    DataFile f(name, "rb");
    EXPECT_EQ(f.failed(), 0) << name;
    EXPECT_EQ(f.sourceKind(), datafiles::ArchiveMember) << name;
    EXPECT_EQ(f.size(), 16u) << name;
    EXPECT_EQ(f.tell(), 0u) << name;
    EXPECT_FALSE(f.atEnd()) << name;
    char buffer[32] = {};
    EXPECT_EQ(f.readBytes(buffer, sizeof buffer), 16u) << name;
    EXPECT_STREQ(buffer, "from the archive") << name;
    EXPECT_EQ(f.tell(), 16u) << name;
    EXPECT_TRUE(f.atEnd()) << name;
  }
}

TEST_F(DataFileTest, FileFoundNowhereFails) {
  writeArchive({{"ballo.ob3", text("x")}});
  for (const char* name : {"data\\missing.ob3", "data\\ballo.ob3\\", ""}) {
    DataFile f(name, "rb");
    EXPECT_EQ(f.failed(), 1) << name;
    EXPECT_EQ(f.sourceKind(), datafiles::None) << name;
    EXPECT_FALSE(f.atEnd()) << name;
    EXPECT_EQ(f.size(), 0u) << name;
    EXPECT_EQ(f.tell(), 0u) << name;
    EXPECT_EQ(f.readWord(), 0u) << name;
  }
  // Another archive or pass phrase through the overload.
  fs::rename("blow.job", "other.job");
  EXPECT_EQ(DataFile("ballo.ob3", "rb").failed(), 1);
  EXPECT_EQ(DataFile("ballo.ob3", "rb", "other.job", "marzipol").failed(), 0);
  EXPECT_EQ(DataFile("ballo.ob3", "rb", "other.job", "wrong").failed(), 1);
}

// The readers give the same results from a plain file and from a member.
class DataFileReaders : public DataFileTest, public ::testing::WithParamInterface<bool> {
 protected:
  DataFile open(const Bytes& content) {
    writeFile("data/plain.bin", content);
    writeArchive({{"member.bin", content}});
    return DataFile(GetParam() ? "data\\member.bin" : "data\\plain.bin", "rb");
  }
};

TEST_P(DataFileReaders, FixedSizeValuesAreLittleEndian) {
  DataFile f = open({1, 2, 1, 0, 0, 0, 0x00, 0x00, 0x80, 0x3F, 0xFE, 0x41});
  ASSERT_EQ(f.failed(), 0);
  EXPECT_EQ(f.readWord(), 513u);
  EXPECT_EQ(f.readDword(), 1u);
  EXPECT_EQ(f.readFloat(), 1.0f);
  EXPECT_EQ(int16_t(f.readWord()), 0x41FE);
  EXPECT_EQ(f.tell(), 12u);
  f.seek(2);
  EXPECT_EQ(f.readByte(), 1);
  EXPECT_EQ(f.tell(), 3u);
}

TEST_P(DataFileReaders, LinesAndStrings) {
  DataFile f = open(text(std::string("ab\r\ncd", 6)));
  ASSERT_EQ(f.failed(), 0);
  EXPECT_EQ(f.readLine(), "ab");
  EXPECT_EQ(f.tell(), 4u);
  EXPECT_EQ(f.readLine(), "cd");
  EXPECT_TRUE(f.atEnd());

  DataFile g = open(text(std::string("name\0rest", 9)));
  EXPECT_EQ(g.readCString(), "name");
  EXPECT_EQ(g.readCString(), "rest");  // ends at the end of the data
}

TEST_P(DataFileReaders, ReadsPastTheEndYieldZeros) {
  DataFile f = open({7});
  ASSERT_EQ(f.failed(), 0);
  EXPECT_EQ(f.readDword(), 7u);
  EXPECT_EQ(f.readDword(), 0u);
  EXPECT_TRUE(f.atEnd());
}

INSTANTIATE_TEST_SUITE_P(PlainAndMember, DataFileReaders, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Member" : "Plain"; });

TEST_F(DataFileTest, WritersActOnPlainFilesOnly) {
  {
    DataFile out("data\\written.bin", "wb");
    ASSERT_EQ(out.sourceKind(), datafiles::PlainFile);
    out.writeByte(0x141);
    out.writeWord(0x0201);
    out.writeDword(0x06050403);
    out.writeFloat(-2.5f);
    out.writeCString("zx");
    out.writeBytes("\xAA\xBB", 2);
  }
  std::ifstream in("data/written.bin", std::ios::binary);
  const Bytes written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(written, Bytes({0x41, 1, 2, 3, 4, 5, 6, 0x00, 0x00, 0x20, 0xC0, 'z', 'x', 0, 0xAA, 0xBB}));

  // On a member or a failed file: nothing is written anywhere and the member is unchanged.
  writeArchive({{"member.bin", {1, 2}}});
  DataFile member("member.bin", "rb");
  ASSERT_EQ(member.sourceKind(), datafiles::ArchiveMember);
  member.writeWord(0xFFFF);
  EXPECT_EQ(member.readWord(), 0x0201u);
  EXPECT_EQ(member.size(), 2u);
  DataFile failed("nowhere\\absent.bin", "rb");
  failed.writeWord(0xFFFF);
  EXPECT_FALSE(fs::exists("nowhere"));
  EXPECT_FALSE(fs::exists("absent.bin"));
}

TEST_F(DataFileTest, CloseReleasesOnceAndLeavesNothingOpen) {
  writeArchive({{"m", {1, 2, 3}}});
  DataFile f("m", "rb");
  f.close();
  f.close();
  EXPECT_EQ(f.sourceKind(), datafiles::None);
  EXPECT_EQ(f.size(), 0u);
  EXPECT_FALSE(f.atEnd());
  DataFile empty;
  EXPECT_EQ(empty.failed(), 0);
  EXPECT_EQ(empty.size(), 0u);
}

}  // namespace
