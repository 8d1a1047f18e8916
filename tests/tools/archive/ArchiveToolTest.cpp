// The archive tool as users run it: create, list, test and extract, their messages and exit codes
// (0 success, 1 a failed member or archive, 2 usage), arguments as other tools take them, the
// pass phrase's sources, files never replaced unless asked, extraction that never writes outside
// the output folder, and hostile names and members that fold to the same name.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "../../datafiles/ArchiveTestBuilder.h"
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

  // vxar with no terminal on its input and no pass phrase in its environment, unless `environment`
  // ("NAME=value ...") gives one.
  capturetest::CommandResult vxar(const std::string& args, const std::string& environment = "") {
    return runCommand("env -u VXAR_PASSWORD " + environment + " " + shellQuoted(VXAR_PATH) + " " + args +
                      " </dev/null");
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
  // Folder members come sorted, relative to the folder, shown with '/' between folders.
  const size_t mesh = r.output.find("meshes/ballo.ob3"), notes = r.output.find("notes.txt");
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
      {"test -p marzipan " + at(secret), "meshes/ballo.ob3: wrong pass phrase or damaged data"},
      {"test " + at(secret), "notes.txt: enciphered: needs a pass phrase"},
      {"test " + at(dir / "flipped.rar"), "notes.txt: damaged data"},
      {"test " + at(dir / "short.rar"), "is damaged or cut short after 1 member(s)"},
      {"list " + at(dir / "short.rar"), "is damaged or cut short"},
      {"test " + at(dir / "text.rar"), "is not a data archive"},
      {"list " + at(dir / "missing.rar"), "cannot be opened: No such file or directory"},
      {"test " + at(dir / "newer.rar"), "meshes/ballo.ob3: unsupported version 29"},
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
  EXPECT_NE(r.output.find("../escape.txt: refused"), std::string::npos) << r.output;
  EXPECT_TRUE(readFile(out / "sub" / "fine.txt") == payload);
  size_t written = 0;
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    written += entry.is_regular_file() && readFile(entry.path()) == payload;
  EXPECT_EQ(written, 1u);  // fine.txt alone
}

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

std::string readText(const fs::path& p) {
  const Bytes b = readFile(p);
  return std::string(b.begin(), b.end());
}

TEST_F(ArchiveToolTest, ArgumentsAsOtherToolsTakeThem) {
  makeInputs();
  const std::string archive = at(dir / "a.rar");
  writeFile(dir / "-dash.txt", text("a file whose name starts with a dash"));
  struct Case {
    std::string args;
    int status;
    std::string says;         // in the command's output
    std::string listSays;     // in `vxar list` of the archive afterwards (when not empty)
    std::string listLacks;
  } cases[] = {
      // Combined short options, a value attached, aliases, options after the operands.
      {"c -qsl5 " + archive + " " + at(dir / "in"), 0, "", "solid archive, 2 member(s)", ""},
      {"c -ql1 " + archive + " " + at(dir / "in"), 0, "", "fastest", "solid"},
      {"create " + archive + " " + at(dir / "loose.bin") + " -q --level=4", 0, "", "good", ""},
      // Unambiguous abbreviations of long options.
      {"create --qui --sol --lev 2 " + archive + " " + at(dir / "loose.bin"), 0, "", "solid archive, 1", ""},
      // "--" ends the options: a file named like an option is an input.
      {"create -q " + archive + " -- -dash.txt", 0, "", "-dash.txt", ""},
      {"l " + archive, 0, "-dash.txt", "", ""},
      {"t " + archive, 0, "all 1 member(s) ok", "", ""},
      {"test " + archive + " -q", 0, "", "", ""},
      {"x -q -o " + at(dir / "out") + " " + archive, 0, "", "", ""},
      // Usage errors, each with its own words.
      {"extract --o " + at(dir / "o2") + " " + archive, 2, "option '--o' is ambiguous (--output, --overwrite)", "", ""},
      {"create --solid=yes " + archive + " x", 2, "option '--solid' takes no value", "", ""},
      {"test -z " + archive, 2, "unknown option '-z'", "", ""},
      {"create -l", 2, "option '-l' needs a value", "", ""},
      {"create --level", 2, "option '--level' needs a value", "", ""},
      {"create -l9 " + archive + " x", 2, "level must be 0 to 5, not '9'", "", ""},
      {"extract -fk " + archive, 2, "--overwrite and --skip-existing exclude each other", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const auto r = runCommand("cd " + at(dir) + " && env -u VXAR_PASSWORD " + shellQuoted(VXAR_PATH) + " " +
                              c.args + " </dev/null");
    EXPECT_EQ(r.status, c.status) << r.output;
    EXPECT_NE(r.output.find(c.says), std::string::npos) << r.output;
    if (c.args.rfind("test " + archive + " -q", 0) == 0) {
      EXPECT_EQ(r.output, "");  // -q after the archive still counts
    }
    if (!c.listSays.empty() || !c.listLacks.empty()) {
      const auto l = vxar("list " + archive);
      EXPECT_NE(l.output.find(c.listSays), std::string::npos) << l.output;
      if (!c.listLacks.empty()) {
        EXPECT_EQ(l.output.find(c.listLacks), std::string::npos) << l.output;
      }
    }
  }
  EXPECT_EQ(readText(dir / "out" / "-dash.txt"), "a file whose name starts with a dash");
  EXPECT_FALSE(fs::exists(dir / "o2"));
}

TEST_F(ArchiveToolTest, CreateNeverDestroysAFileUnlessAsked) {
  makeInputs();
  const fs::path data = dir / "d.bin", notes = dir / "notes.txt", old = dir / "in" / "old.rar";
  writeFile(data, sample(5000, 7));
  writeFile(notes, text("my notes, not an archive"));
  fs::create_hard_link(data, dir / "hard.bin");
  ASSERT_EQ(vxar("create -q " + at(old) + " " + at(dir / "loose.bin")).status, 0);
  const Bytes dataBefore = readFile(data), oldBefore = readFile(old);
  struct Case {
    std::string args;
    int status;
    const char* says;
  } cases[] = {
      {"create " + at(data) + " " + at(data), 1, "is also an input"},
      // The same file under another name: a hard link, a path through "..".
      {"create " + at(dir / "hard.bin") + " " + at(data), 1, "is also an input"},
      {"create " + at(dir / "in" / ".." / "d.bin") + " " + at(data), 1, "is also an input"},
      // An archive inside a folder that is packed.
      {"create " + at(old) + " " + at(dir / "in"), 1, "is also an input"},
      {"create --overwrite " + at(data) + " " + at(dir / "loose.bin") + " " + at(data), 1, "is also an input"},
      // Operands swapped: the first names an existing file that is not an archive.
      {"create " + at(notes) + " " + at(dir / "loose.bin"), 1, "exists and is not an archive: refused (--overwrite"},
      {"create " + at(dir / "in") + " " + at(dir / "loose.bin"), 1, "is a folder"},
  };
  for (const Case& c : cases) {
    const auto r = vxar(c.args);
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.output;
    EXPECT_NE(r.output.find(c.says), std::string::npos) << c.args << "\n" << r.output;
  }
  EXPECT_TRUE(readFile(data) == dataBefore);
  EXPECT_TRUE(readFile(dir / "hard.bin") == dataBefore);
  EXPECT_TRUE(readFile(old) == oldBefore);
  EXPECT_EQ(readText(notes), "my notes, not an archive");

  // An existing archive is replaced; any other file only with --overwrite.
  EXPECT_EQ(vxar("create -q " + at(old) + " " + at(notes)).status, 0);
  EXPECT_NE(vxar("list " + at(old)).output.find("notes.txt"), std::string::npos);
  const auto r = vxar("create -q --overwrite " + at(notes) + " " + at(dir / "loose.bin"));
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(vxar("list " + at(notes)).output.find("loose.bin"), std::string::npos);
}

TEST_F(ArchiveToolTest, ExtractKeepsExistingFilesAndTheRecordedTime) {
  makeInputs();
  // A time the DOS format holds exactly (even seconds), in local time.
  std::tm t{};
  t.tm_year = 2003 - 1900, t.tm_mon = 3, t.tm_mday = 5, t.tm_hour = 6, t.tm_min = 7, t.tm_sec = 8;
  t.tm_isdst = -1;
  const std::time_t when = std::mktime(&t);
  const utimbuf times{when, when};
  ASSERT_EQ(::utime((dir / "in" / "notes.txt").c_str(), &times), 0);
  const fs::path archive = dir / "a.rar", out = dir / "out";
  ASSERT_EQ(vxar("create -q " + at(archive) + " " + at(dir / "in")).status, 0);
  writeFile(out / "notes.txt", text("mine"));

  auto r = vxar("extract -o " + at(out) + " " + at(archive));
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_NE(r.output.find("notes.txt: refused: 'notes.txt' exists (--overwrite replaces it, --skip-existing keeps it)"),
            std::string::npos) << r.output;
  EXPECT_EQ(readText(out / "notes.txt"), "mine");
  EXPECT_TRUE(readFile(out / "meshes" / "ballo.ob3") == files[1].second);  // the others are written

  r = vxar("extract --skip-existing -o " + at(out) + " " + at(archive));
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("notes.txt ... skipped ('notes.txt' exists)"), std::string::npos) << r.output;
  EXPECT_EQ(readText(out / "notes.txt"), "mine");

  r = vxar("extract --overwrite -o " + at(out) + " " + at(archive));
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(readFile(out / "notes.txt") == files[0].second);
  struct stat st {};
  ASSERT_EQ(::stat((out / "notes.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, when);
  size_t leftovers = 0;
  for (const auto& entry : fs::directory_iterator(out)) leftovers += entry.path().filename().string()[0] == '.';
  EXPECT_EQ(leftovers, 0u);  // no temporary file stays behind
}

TEST_F(ArchiveToolTest, ExtractNeverWritesThroughALink) {
  datafiles::ArchiveWriter writer;
  const Bytes payload = text("payload");
  for (const char* name : {"evil.txt", "victim.txt", "gone/x.txt"}) writer.addMember(name, payload);
  ASSERT_TRUE(writer.finishToFile((dir / "links.rar").string()));
  fs::create_directories(dir / "outside");
  writeFile(dir / "victim.txt", text("victim"));
  for (const bool overwrite : {false, true}) {
    SCOPED_TRACE(overwrite ? "--overwrite" : "no --overwrite");
    const fs::path out = dir / (overwrite ? "out2" : "out1");
    fs::create_directories(out);
    fs::create_symlink(dir / "outside" / "evil-target.txt", out / "evil.txt");  // dangling
    fs::create_symlink(dir / "victim.txt", out / "victim.txt");
    fs::create_directory_symlink(dir / "nowhere", out / "gone");  // dangling folder link
    const auto r = vxar("extract " + std::string(overwrite ? "--overwrite " : "") + "-o " + at(out) + " " +
                        at(dir / "links.rar"));
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("gone/x.txt: refused: 'gone' is a symbolic link"), std::string::npos) << r.output;
    if (overwrite) {
      // The links themselves give way to the members; nothing they point at is touched.
      EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(out / "evil.txt")));
      EXPECT_TRUE(readFile(out / "victim.txt") == payload);
    } else {
      EXPECT_NE(r.output.find("evil.txt: refused: 'evil.txt' exists as a symbolic link"), std::string::npos)
          << r.output;
      EXPECT_TRUE(fs::is_symlink(out / "evil.txt"));
    }
    EXPECT_FALSE(fs::exists(dir / "outside" / "evil-target.txt"));
    EXPECT_FALSE(fs::exists(dir / "nowhere"));
    EXPECT_EQ(readText(dir / "victim.txt"), "victim");
  }
}

TEST_F(ArchiveToolTest, HostileNamesAreEscapedAndRefusedForTheirOwnReason) {
  using archivetest::storedMember;
  archivetest::ArchiveBuilder a;
  const std::string colour = "\x1b[31mred\x07.txt", lines = "cr\rlf\n.txt", c1 = "c1\xc2\x9b" "2J.txt";
  a.add(storedMember(colour, text("1")));
  a.add(storedMember(lines, text("2")));
  a.add(storedMember(c1, text("3")));
  a.add(storedMember(std::string("nul\0byte.txt", 12), text("4")));
  a.add(storedMember("", text("5")));
  a.add(storedMember(std::string(300, 'n'), text("6")));
  a.add(storedMember("caf\xc3\xa9.txt", text("7")));  // well-formed UTF-8 stays as it is
  writeFile(dir / "names.rar", a.bytes);
  const std::string archive = at(dir / "names.rar"), out = at(dir / "out");
  for (const std::string& command :
       {"list " + archive, "test " + archive, "extract -o " + at(dir / "first") + " " + archive}) {
    SCOPED_TRACE(command);
    const auto r = vxar(command);
    for (const char raw : {'\x1b', '\x07', '\r'}) EXPECT_EQ(r.output.find(raw), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("lf\n"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("\xc2\x9b"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("\\x1b[31mred\\x07.txt"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("cr\\x0dlf\\x0a.txt"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("c1\\xc2\\x9b2J.txt"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("caf\xc3\xa9.txt"), std::string::npos) << r.output;
  }
  const auto r = vxar("extract -o " + out + " " + archive);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("nul\\x00byte.txt: refused: the name holds a zero byte"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("(empty name): refused: the member has an empty name"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("refused: the name is 300 bytes long (at most 259)"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("3 member(s) failed"), std::string::npos) << r.output;
  EXPECT_EQ(readText(dir / "out" / colour), "1");  // odd but harmless names are written
  EXPECT_EQ(readText(dir / "out" / "caf\xc3\xa9.txt"), "7");
  EXPECT_FALSE(fs::exists(dir / "out" / "nul"));
}

TEST_F(ArchiveToolTest, MembersThatFoldToOneNameAreEachCheckedAndWritten) {
  for (const bool solid : {false, true}) {
    SCOPED_TRACE(solid ? "solid" : "not solid");
    const fs::path archive = dir / (solid ? "solid.rar" : "plain.rar");
    const fs::path out = dir / (solid ? "out-solid" : "out-plain");
    // Writer-made: compressed, solid or not; the second of each pair differs in case or separator.
    datafiles::ArchiveOptions options;
    options.solid = solid;
    datafiles::ArchiveWriter writer(options);
    writer.addMember("a\\b.txt", text("third, under a\\b.txt"));
    writer.addMember("a/B.TXT", text("fourth, under a/B.TXT"));
    writer.addMember("Dup.txt", text("first"));
    writer.addMember("DUP.TXT", text("second"));
    Bytes bytes = writer.finish();
    // Damage the content check of DUP.TXT, the last member: its CRC field, header CRC kept right.
    size_t at = 20, last = 0;
    while (at < bytes.size()) {
      last = at;
      at += size_t(bytes[at + 5] | bytes[at + 6] << 8) +
            (uint32_t(bytes[at + 7]) | uint32_t(bytes[at + 8]) << 8 | uint32_t(bytes[at + 9]) << 16 |
             uint32_t(bytes[at + 10]) << 24);
    }
    bytes[last + 16] ^= 0xFF;
    const uint32_t headerCrc = datafiles::crc32(bytes.data() + last + 2, size_t(bytes[last + 5] | bytes[last + 6] << 8) - 2);
    bytes[last] = uint8_t(headerCrc);
    bytes[last + 1] = uint8_t(headerCrc >> 8);
    writeFile(archive, bytes);

    auto r = vxar("test " + this->at(archive));
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("[3] Dup.txt ... ok"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("vxar test: DUP.TXT: damaged data (CRC-32 mismatch)"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("1 of 4 member(s) failed"), std::string::npos) << r.output;

    r = vxar("extract -o " + this->at(out) + " " + this->at(archive));
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_EQ(readText(out / "a" / "b.txt"), "third, under a\\b.txt");
    EXPECT_EQ(readText(out / "a" / "B.TXT"), "fourth, under a/B.TXT");
    EXPECT_EQ(readText(out / "Dup.txt"), "first");
    EXPECT_FALSE(fs::exists(out / "DUP.TXT"));
    // Asked for by name: every member that matches.
    r = vxar("extract -o " + this->at(dir / "named") + " " + this->at(archive) + " A/b.txt");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(readText(dir / "named" / "a" / "B.TXT"), "fourth, under a/B.TXT");
    EXPECT_EQ(readText(dir / "named" / "a" / "b.txt"), "third, under a\\b.txt");
    fs::remove_all(dir / "named");
  }
}

TEST_F(ArchiveToolTest, PassPhraseFromTheEnvironmentOrAPrompt) {
  makeInputs();
  const fs::path secret = dir / "secret.rar";
  ASSERT_EQ(vxar("create -q " + at(secret) + " " + at(dir / "in"), "VXAR_PASSWORD=marzipol").status, 0);
  struct Case {
    std::string args, environment;
    int status;
    const char* says;
  } cases[] = {
      {"list " + at(secret), "", 0, "normal   -E"},  // enciphered under the environment's phrase
      {"test " + at(secret), "VXAR_PASSWORD=marzipol", 0, "all 2 member(s) ok"},
      {"test -p marzipol " + at(secret), "VXAR_PASSWORD=wrong", 0, "all 2 member(s) ok"},
      {"test " + at(secret), "VXAR_PASSWORD=marzipan", 1, "wrong pass phrase or damaged data"},
      {"test " + at(secret), "", 1, "enciphered: needs a pass phrase (-p, -P or VXAR_PASSWORD)"},
      {"test -P " + at(secret), "", 2, "cannot ask for the pass phrase: standard input is not a terminal"},
      {"create -p '' " + at(dir / "x.rar") + " " + at(dir / "loose.bin"), "", 2, "the pass phrase is empty"},
  };
  for (const Case& c : cases) {
    const auto r = vxar(c.args, c.environment);
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.output;
    EXPECT_NE(r.output.find(c.says), std::string::npos) << c.args << "\n" << r.output;
  }

  // On a terminal (script(1) gives one): asked without echo when an enciphered member needs it,
  // and asked twice by create -P.
  if (runCommand("command -v script").status != 0) GTEST_SKIP() << "script(1) is not installed";
  // Each line is typed once the typescript shows the count of prompts before it plus one, so
  // that echo is off by then however slowly vxar starts.
  int runs = 0;
  auto onTerminal = [&](const std::vector<std::string>& lines, const std::string& args) {
    const std::string typescript = at(dir / ("typescript" + std::to_string(++runs)));
    std::string feeder = "(";
    for (size_t i = 0; i < lines.size(); ++i)
      feeder += "for t in $(seq 200); do [ $(grep -o 'Pass phrase' " + typescript + " 2>/dev/null | wc -l) -gt " +
                std::to_string(i) + " ] && break; sleep 0.05; done; printf '" + lines[i] + "\\n'; ";
    feeder += ")";
    return runCommand(feeder + " | env -u VXAR_PASSWORD script -qfec " +
                      shellQuoted(shellQuoted(VXAR_PATH) + " " + args) + " " + typescript);
  };
  auto r = onTerminal({"marzipol"}, "test " + at(secret));
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("Pass phrase for the enciphered members: "), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("all 2 member(s) ok"), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("marzipol"), std::string::npos) << r.output;  // not echoed
  r = onTerminal({"sesame", ""}, "create -q -P " + at(dir / "typed.rar") + " " + at(dir / "loose.bin"));
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_NE(r.output.find("the two pass phrases differ"), std::string::npos) << r.output;
  r = onTerminal({"sesame", "sesame"}, "create -q -P " + at(dir / "typed.rar") + " " + at(dir / "loose.bin"));
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.output.find("sesame"), std::string::npos) << r.output;
  EXPECT_EQ(vxar("test -p sesame " + at(dir / "typed.rar")).status, 0);
}

TEST_F(ArchiveToolTest, FailuresGiveTheSystemsReason) {
  makeInputs();
  const fs::path archive = dir / "a.rar";
  ASSERT_EQ(vxar("create -q " + at(archive) + " " + at(dir / "loose.bin")).status, 0);
  ::chmod((dir / "loose.bin").c_str(), 0);
  const bool root = ::geteuid() == 0;
  struct Case {
    std::string args;
    const char* says;
  } cases[] = {
      {"list " + at(dir / "nosuch.job"), "nosuch.job' cannot be opened: No such file or directory"},
      {"test " + at(dir / "nosuch.job"), "cannot be opened: No such file or directory"},
      {"extract " + at(dir / "nosuch.job"), "cannot be opened: No such file or directory"},
      {"create " + at(dir / "no" / "such" / "a.rar") + " " + at(dir / "in"), "No such file or directory"},
      {"extract -o " + at(dir / "loose.bin" / "sub") + " " + at(archive), "Not a directory"},
      {"create " + at(dir / "b.rar") + " " + at(dir / "loose.bin"), root ? "" : "Permission denied"},
  };
  for (const Case& c : cases) {
    if (root && std::string(c.says).empty()) continue;  // root reads any file
    const auto r = vxar(c.args);
    EXPECT_EQ(r.status, 1) << c.args << "\n" << r.output;
    EXPECT_NE(r.output.find(c.says), std::string::npos) << c.args << "\n" << r.output;
  }
}

}  // namespace
