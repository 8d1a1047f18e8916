// The archive tool as users run it: create, list, test and extract, their messages and exit codes
// (0 success, 1 a failed member or archive, 2 usage), and extraction that never writes outside
// the output folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "../capture/RunCommand.h"
#include "datafiles/ArchiveWriter.h"
#include "datafiles/Crc32.h"

namespace fs = std::filesystem;
using capturetest::runCommand;
using capturetest::shellQuoted;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& p, const Bytes& b) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
}

Bytes sample(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = uint8_t(i % 97 < 60 ? 'a' + rng() % 6 : rng());
  return b;
}

class ArchiveToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("vxar-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  capturetest::CommandResult vxar(const std::string& args) {
    return runCommand(shellQuoted(VXAR_PATH) + " " + args);
  }
  std::string at(const fs::path& p) { return shellQuoted(p.string()); }

  // An input folder: two files below it, one in a subfolder.
  void makeInputs() {
    files = {{"notes.txt", sample(20000, 1)}, {"meshes/ballo.ob3", sample(70000, 2)}};
    for (const auto& [name, content] : files) writeFile(dir / "in" / name, content);
    writeFile(dir / "loose.bin", sample(3000, 3));
  }

  fs::path dir;
  std::vector<std::pair<std::string, Bytes>> files;
};

TEST_F(ArchiveToolTest, HelpAndUsageErrors) {
  struct Case {
    const char* args;
    int status;
    const char* says;
  } cases[] = {
      {"--help", 0, "commands:"},
      {"create --help", 0, "usage: vxar create"},
      {"list --help", 0, "usage: vxar list"},
      {"test -h", 0, "usage: vxar test"},
      {"extract --help", 0, "usage: vxar extract"},
      {"", 2, "usage: vxar COMMAND"},
      {"frobnicate", 2, "unknown command 'frobnicate'"},
      {"create out.rar", 2, "needs an archive and at least one input"},
      {"create --level 7 out.rar x", 2, "level must be 0 to 5"},
      {"create --audio loud out.rar x", 2, "audio mode must be auto, on or off"},
      {"create --password", 2, "needs a value"},
      {"list --verbose a.rar", 2, "unknown option '--verbose'"},
      {"test", 2, "needs exactly one archive"},
      {"extract", 2, "needs an archive"},
  };
  for (const Case& c : cases) {
    const auto r = vxar(c.args);
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.output;
    EXPECT_NE(r.output.find(c.says), std::string::npos) << c.args << "\n" << r.output;
  }
}

TEST_F(ArchiveToolTest, CreateListTestExtract) {
  makeInputs();
  const fs::path archive = dir / "pack.job";
  auto r = vxar("create --solid -l 2 -p marzipol " + at(archive) + " " + at(dir / "in") + " " +
                at(dir / "loose.bin"));
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("[3/3] loose.bin"), std::string::npos) << r.output;

  r = vxar("list " + at(archive));
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("solid archive, 3 member(s)"), std::string::npos) << r.output;
  // Folder members come sorted, relative to the folder, with the archive's separator.
  const size_t mesh = r.output.find("meshes\\ballo.ob3"), notes = r.output.find("notes.txt");
  EXPECT_TRUE(mesh != std::string::npos && notes != std::string::npos && mesh < notes) << r.output;
  const uint32_t crc = datafiles::crc32(files[0].second.data(), files[0].second.size());
  char crcText[9];
  std::snprintf(crcText, sizeof crcText, "%08x", crc);
  EXPECT_NE(r.output.find(std::string("fast     SE     ") + crcText), std::string::npos) << r.output;

  r = vxar("test -p marzipol " + at(archive));
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("all 3 member(s) ok"), std::string::npos) << r.output;

  r = vxar("extract -q -p marzipol -o " + at(dir / "out") + " " + at(archive));
  ASSERT_EQ(r.status, 0) << r.output;
  for (const auto& [name, content] : files) EXPECT_TRUE(readFile(dir / "out" / name) == content) << name;
  EXPECT_TRUE(readFile(dir / "out" / "loose.bin") == readFile(dir / "loose.bin"));

  // Named members only, matched as the program matches them.
  r = vxar("extract -p marzipol -o " + at(dir / "one") + " " + at(archive) + " MESHES/BALLO.OB3");
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(readFile(dir / "one" / "meshes" / "ballo.ob3") == files[1].second);
  EXPECT_FALSE(fs::exists(dir / "one" / "notes.txt"));
}

TEST_F(ArchiveToolTest, FailuresNameTheMemberAndTheReason) {
  makeInputs();
  const fs::path plain = dir / "plain.rar", secret = dir / "secret.rar";
  ASSERT_EQ(vxar("create -q " + at(plain) + " " + at(dir / "in")).status, 0);
  ASSERT_EQ(vxar("create -q -p marzipol " + at(secret) + " " + at(dir / "in")).status, 0);
  const Bytes good = readFile(plain);

  Bytes flipped = good;
  flipped[flipped.size() - 500] ^= 0x04;  // inside the last member's packed data
  writeFile(dir / "flipped.rar", flipped);
  writeFile(dir / "short.rar", Bytes(good.begin(), good.end() - 200));
  writeFile(dir / "text.rar", Bytes(200, 'x'));
  Bytes newer = good;
  const size_t header = 20;  // the first member's header follows the marker and main header
  newer[header + 24] = 29;
  const uint32_t crc = datafiles::crc32(newer.data() + header + 2, newer[header + 5] - 2);
  newer[header] = uint8_t(crc), newer[header + 1] = uint8_t(crc >> 8);
  writeFile(dir / "newer.rar", newer);
  writeFile(dir / "other" / "NOTES.TXT", {1});  // the name of in/notes.txt but for case

  struct Case {
    std::string args;
    const char* says;
  } cases[] = {
      {"test -p marzipan " + at(secret), "meshes\\ballo.ob3: wrong pass phrase or damaged data"},
      {"test " + at(secret), "notes.txt: enciphered: needs a pass phrase"},
      {"test " + at(dir / "flipped.rar"), "notes.txt: damaged data"},
      {"test " + at(dir / "short.rar"), "is damaged or cut short after 1 member(s)"},
      {"list " + at(dir / "short.rar"), "is damaged or cut short"},
      {"test " + at(dir / "text.rar"), "is not a data archive"},
      {"list " + at(dir / "missing.rar"), "cannot be opened"},
      {"test " + at(dir / "newer.rar"), "meshes\\ballo.ob3: unsupported version 29"},
      {"extract -o " + at(dir / "x") + " " + at(plain) + " nothing.txt", "nothing.txt: no such member"},
      {"create " + at(dir / "new.rar") + " " + at(dir / "absent"), "cannot read"},
      {"create " + at(dir / "new.rar") + " " + at(dir / "in") + " " + at(dir / "other" / "NOTES.TXT"),
       "give the same member name"},
  };
  for (const Case& c : cases) {
    const auto r = vxar(c.args);
    EXPECT_EQ(r.status, 1) << c.args << "\n" << r.output;
    EXPECT_NE(r.output.find(c.says), std::string::npos) << c.args << "\n" << r.output;
  }
  // A failed member leaves the others: the first member of the flipped archive still extracts.
  const auto r = vxar("extract -o " + at(dir / "partial") + " " + at(dir / "flipped.rar"));
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(readFile(dir / "partial" / "meshes" / "ballo.ob3") == files[1].second);
  EXPECT_FALSE(fs::exists(dir / "new.rar"));
}

TEST_F(ArchiveToolTest, ExtractStaysInsideTheOutputFolder) {
  const Bytes payload = {'p', 'w', 'n'};
  datafiles::ArchiveWriter writer;
  const char* hostile[] = {"../escape.txt", "/tmp/absolute.txt", "a\\..\\..\\escape2.txt",
                           "C:escape3.txt", "link/escape4.txt", "..", "./"};
  for (const char* name : hostile) writer.addMember(name, payload);
  writer.addMember("sub/fine.txt", payload);
  ASSERT_TRUE(writer.finishToFile((dir / "hostile.rar").string()));
  const fs::path out = dir / "box" / "out";
  fs::create_directories(out);
  fs::create_directories(dir / "elsewhere");
  fs::create_directory_symlink(dir / "elsewhere", out / "link");

  const auto r = vxar("extract -o " + at(out) + " " + at(dir / "hostile.rar"));
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_NE(r.output.find("7 member(s) failed"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("..\\escape.txt: refused"), std::string::npos) << r.output;
  EXPECT_TRUE(readFile(out / "sub" / "fine.txt") == payload);
  size_t written = 0;
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    written += entry.is_regular_file() && readFile(entry.path()) == payload;
  EXPECT_EQ(written, 1u);  // fine.txt alone
}

}  // namespace
