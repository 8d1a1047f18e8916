#include "ArchiveCommands.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "CommandLine.h"
#include "MemberPath.h"
#include "OutputFolder.h"
#include "Terminal.h"
#include "datafiles/ArchiveReader.h"
#include "datafiles/ArchiveWriter.h"
#include "platform/FileAccess.h"

namespace archivetool {

namespace fs = std::filesystem;

namespace {

const char* const kPassPhraseVariable = "VXAR_PASSWORD";

const char* const kOverview =
    "usage: vxar COMMAND [OPTIONS] ARCHIVE [...]\n"
    "Makes, lists, tests and extracts data archives (RAR 2.0 format, as the demo reads them).\n"
    "\n"
    "commands:\n"
    "  create, c    pack files and folders into a new archive\n"
    "  list, l      show the members with their sizes, ratio, method, flags and CRC-32\n"
    "  test, t      check every member against its CRC-32\n"
    "  extract, x   write members out into a folder\n"
    "\n"
    "'vxar COMMAND --help' describes a command. Options may be combined (-qs), given values\n"
    "attached (-l5, --level=5) and abbreviated (--pass); '--' ends them.\n"
    "Pass phrase: -p TEXT, or -P to type it at a prompt without echo, or the environment\n"
    "variable VXAR_PASSWORD; test and extract also prompt on a terminal when an enciphered\n"
    "member needs one. Exit status: 0 success, 1 a member or the archive failed, 2 usage error.\n";

const char* const kCreateHelp =
    "usage: vxar create [OPTIONS] ARCHIVE INPUT...   (or: vxar c ...)\n"
    "Packs INPUTs into a new ARCHIVE. A file is stored under its own name; a folder adds every\n"
    "file below it under its path relative to that folder, so its contents land at the top of\n"
    "the archive. An existing archive at ARCHIVE is replaced; any other existing file is\n"
    "refused unless --overwrite is given, and ARCHIVE may never be one of the INPUTs.\n"
    "\n"
    "options:\n"
    "  -l, --level N        0 store, 1 fastest ... 5 best (default 3)\n"
    "  -s, --solid          one continuous compressed stream for all members\n"
    "  -p, --password TEXT  encipher every member under this pass phrase (visible to other\n"
    "                       users in the process list: prefer -P or VXAR_PASSWORD)\n"
    "  -P, --ask-password   type the pass phrase at a prompt (twice, without echo)\n"
    "  -a, --audio MODE     audio mode for sampled sound: auto (default), on, off\n"
    "  -f, --overwrite      replace ARCHIVE even when it is not an archive\n"
    "  -q, --quiet          no progress lines\n"
    "  -h, --help           this text\n"
    "\n"
    "environment:\n"
    "  VXAR_PASSWORD        pass phrase when neither -p nor -P is given: members are enciphered\n";

// The options and environment of the commands that read enciphered members.
#define READING_PASS_PHRASE_OPTIONS                                          \
  "  -p, --password TEXT  pass phrase of enciphered members\n"               \
  "  -P, --ask-password   type the pass phrase at a prompt (without echo)\n"
#define READING_TAIL                                                                      \
  "  -q, --quiet          only failures\n"                                                \
  "  -h, --help           this text\n"                                                    \
  "\n"                                                                                    \
  "environment:\n"                                                                        \
  "  VXAR_PASSWORD        pass phrase when neither -p nor -P is given. Without any, a\n"  \
  "                       terminal is asked when an enciphered member is met.\n"

const char* const kListHelp =
    "usage: vxar list ARCHIVE   (or: vxar l ARCHIVE)\n"
    "Lists the members: unpacked and packed size, ratio, method, flags (S continues a solid\n"
    "stream, E enciphered), CRC-32 and name ('/' between folders; control characters shown as\n"
    "\\xNN).\n";

const char* const kTestHelp =
    "usage: vxar test [OPTIONS] ARCHIVE   (or: vxar t ...)\n"
    "Decodes every member once, in archive order, and checks it against its CRC-32; names each\n"
    "failed member and why.\n"
    "\n"
    "options:\n"
    READING_PASS_PHRASE_OPTIONS
    READING_TAIL;

const char* const kExtractHelp =
    "usage: vxar extract [OPTIONS] ARCHIVE [MEMBER...]   (or: vxar x ...)\n"
    "Writes all members, or the named ones, below the output folder, creating folders as\n"
    "needed, each file with the time recorded in the archive. Names that would lead outside\n"
    "the output folder (absolute paths, '..'), empty names, names with a zero byte and names\n"
    "over 259 bytes are refused, and nothing is written through a symbolic link. Existing\n"
    "files are left alone unless --overwrite is given. MEMBERs are matched as the demo matches\n"
    "names: case-blind, '/' and '\\' alike; every member that matches is written.\n"
    "\n"
    "options:\n"
    "  -o, --output DIR     output folder (default: the current folder)\n"
    READING_PASS_PHRASE_OPTIONS
    "  -f, --overwrite      replace existing files\n"
    "  -k, --skip-existing  keep existing files and go on with the next member\n"
    READING_TAIL;

int usage(std::ostream& err, const std::string& command, const std::string& problem) {
  err << "vxar" << (command.empty() ? "" : " " + command) << ": " << problem << " (try 'vxar "
      << (command.empty() ? "" : command + " ") << "--help')\n";
  return kUsage;
}

// Options shared by several commands.
const OptionSpec kPassword{'p', "password", true};
const OptionSpec kAskPassword{'P', "ask-password", false};
const OptionSpec kOverwrite{'f', "overwrite", false};
const OptionSpec kQuiet{'q', "quiet", false};

// Parses a command's options into `line`. Returns the status to end with at once (a usage error,
// or success after printing `help`), or nothing to go on.
std::optional<int> parseOptions(const std::string& command, const std::vector<std::string>& args,
                                const std::vector<OptionSpec>& specs, const char* help, CommandLine& line,
                                std::ostream& out, std::ostream& err) {
  if (auto problem = parseCommandLine(args, specs, line)) return usage(err, command, *problem);
  if (line.has("help")) {
    out << help;
    return kSuccess;
  }
  return std::nullopt;
}

std::string quoted(const std::string& path) { return "'" + escaped(path) + "'"; }

std::string percent(uint64_t part, uint64_t whole) {
  std::ostringstream s;
  s << std::fixed << std::setprecision(1) << (whole ? 100.0 * double(part) / double(whole) : 100.0)
    << '%';
  return s.str();
}

std::string hex8(uint32_t v) {
  char text[9];
  std::snprintf(text, sizeof text, "%08x", v);
  return text;
}

// "stored", "fastest", "fast", "normal", "good", "best" for methods 0x30 to 0x35.
std::string methodName(uint8_t method) {
  static const char* names[] = {"stored", "fastest", "fast", "normal", "good", "best"};
  if (method >= 0x30 && method <= 0x35) return names[method - 0x30];
  char text[16];
  std::snprintf(text, sizeof text, "0x%02X", method);
  return text;
}

// ---- Pass phrase ----

// Where the pass phrase comes from: -p, -P (asked now), VXAR_PASSWORD, or (test and extract)
// asked on the terminal when an enciphered member needs it.
struct PassPhrase {
  std::string text;
  bool given = false;  // by -p, -P or the environment
};

// Returns a usage or failure status when the pass phrase cannot be had, 0 otherwise.
int takePassPhrase(const std::string& command, const CommandLine& line, bool confirm,
                   PassPhrase& pass, std::ostream& err) {
  if (line.has("password")) {
    pass = {line.valueOf("password"), true};
  } else if (line.has("ask-password")) {
    std::string error;
    const std::optional<std::string> typed = readPassPhrase("Pass phrase: ", error);
    if (!typed) return usage(err, command, "cannot ask for the pass phrase: " + error);
    if (confirm) {
      const std::optional<std::string> again = readPassPhrase("Pass phrase again: ", error);
      if (!again) return usage(err, command, "cannot ask for the pass phrase: " + error);
      if (*again != *typed) {
        err << "vxar " << command << ": the two pass phrases differ\n";
        return kFailed;
      }
    }
    pass = {*typed, true};
  } else if (const char* fromEnvironment = std::getenv(kPassPhraseVariable); fromEnvironment && *fromEnvironment) {
    pass = {fromEnvironment, true};
  }
  if (pass.given && pass.text.empty()) return usage(err, command, "the pass phrase is empty");
  return kSuccess;
}

// The prompt test and extract fall back on: asked once, on a terminal only.
std::function<std::string()> passPhrasePrompt(const PassPhrase& pass) {
  if (pass.given || !::isatty(STDIN_FILENO)) return {};
  return [] {
    std::string error;
    return readPassPhrase("Pass phrase for the enciphered members: ", error).value_or("");
  };
}

const char* passPhraseHint() { return " (-p, -P or VXAR_PASSWORD)"; }

// ---- create ----

bool onTerminal(std::ostream& out) { return &out == &std::cout && ::isatty(STDOUT_FILENO); }

struct Input {
  fs::path file;
  std::string name;  // member name, '/' between folders
};

bool collectInputs(const std::vector<std::string>& paths, std::vector<Input>& inputs,
                   std::ostream& err) {
  for (const std::string& path : paths) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (fs::is_regular_file(status)) {
      inputs.push_back({path, fs::path(path).filename().string()});
    } else if (fs::is_directory(status)) {
      std::vector<Input> below;
      for (auto it = fs::recursive_directory_iterator(path, ec); !ec && it != fs::end(it);
           it.increment(ec)) {
        if (it->is_regular_file(ec))
          below.push_back({it->path(), it->path().lexically_relative(path).generic_string()});
      }
      if (ec) {
        err << "vxar create: cannot read the folder " << quoted(path) << ": " << ec.message() << "\n";
        return false;
      }
      std::sort(below.begin(), below.end(),
                [](const Input& a, const Input& b) { return a.name < b.name; });
      inputs.insert(inputs.end(), below.begin(), below.end());
    } else {
      err << "vxar create: cannot read " << quoted(path) << ": "
          << (ec ? ec.message() : std::string("not a file or folder")) << "\n";
      return false;
    }
  }
  return true;
}

// The whole file, its size checked before the buffer is made. False with the reason in `error`.
bool readWhole(const fs::path& path, std::vector<uint8_t>& bytes, std::time_t& modified, std::string& error) {
  std::FILE* file = platform::openFile(path.u8string(), "rb");
  if (!file) {
    error = std::strerror(errno);
    return false;
  }
  const int64_t size = platform::fileLength(file);
  modified = platform::fileModifiedTime(file);
  bool ok = size >= 0;
  if (!ok) error = std::strerror(errno);
  if (ok && size > int64_t(0xFFFFFFFFu)) {
    error = "4 GiB or more (the archive format's limit)";
    ok = false;
  }
  if (ok) {
    bytes.resize(size_t(size));
    const size_t done = bytes.empty() ? 0 : std::fread(bytes.data(), 1, bytes.size(), file);
    if (std::ferror(file)) {
      error = std::strerror(errno);
      ok = false;
    }
    bytes.resize(done);  // a file that shrank while read
  }
  std::fclose(file);
  return ok;
}

// Whether the file starts with an archive marker.
bool looksLikeArchive(const std::string& path) {
  std::FILE* f = platform::openFile(path, "rb");
  if (!f) return false;
  char marker[7] = {};
  const bool read = std::fread(marker, 1, 7, f) == 7;
  std::fclose(f);
  return read && (std::memcmp(marker, "Rar!\x1A\x07\x00", 7) == 0 || std::memcmp(marker, "KorbaX!", 7) == 0);
}

int create(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  CommandLine line;
  if (const auto status = parseOptions("create", args,
                                       {{'l', "level", true}, {'s', "solid", false}, kPassword, kAskPassword,
                                        {'a', "audio", true}, kOverwrite, kQuiet},
                                       kCreateHelp, line, out, err))
    return *status;
  if (line.positional.size() < 2) return usage(err, "create", "needs an archive and at least one input");

  datafiles::ArchiveOptions options;
  options.solid = line.has("solid");
  if (line.has("level")) {
    const std::string level = line.valueOf("level");
    if (level.size() != 1 || level[0] < '0' || level[0] > '5')
      return usage(err, "create", "level must be 0 to 5, not '" + escaped(level) + "'");
    options.level = level[0] - '0';
  }
  if (line.has("audio")) {
    const std::string mode = line.valueOf("audio");
    if (mode == "auto") options.audio = datafiles::AudioMode::Automatic;
    else if (mode == "on") options.audio = datafiles::AudioMode::Always;
    else if (mode == "off") options.audio = datafiles::AudioMode::Off;
    else return usage(err, "create", "audio mode must be auto, on or off, not '" + escaped(mode) + "'");
  }
  const bool quiet = line.has("quiet");
  const std::string archivePath = line.positional[0];

  // The archive's place: never one of the inputs, and not a file of another kind unless asked.
  std::error_code statusError;
  const fs::file_status archiveStatus = fs::status(archivePath, statusError);
  const bool archiveExists = fs::exists(archiveStatus);
  if (fs::is_directory(archiveStatus)) {
    err << "vxar create: " << quoted(archivePath) << " is a folder\n";
    return kFailed;
  }
  std::vector<Input> inputs;
  if (!collectInputs({line.positional.begin() + 1, line.positional.end()}, inputs, err))
    return kFailed;
  if (archiveExists) {
    for (const Input& input : inputs) {
      std::error_code ec;
      if (fs::equivalent(input.file, archivePath, ec)) {
        err << "vxar create: the archive " << quoted(archivePath) << " is also an input ("
            << quoted(input.file.string()) << "): refused\n";
        return kFailed;
      }
    }
    if (!line.has("overwrite") && !looksLikeArchive(archivePath)) {
      err << "vxar create: " << quoted(archivePath)
          << " exists and is not an archive: refused (--overwrite replaces it)\n";
      return kFailed;
    }
  }
  // The program finds a member by its folded name: a second member of the same name would be
  // out of its reach.
  std::map<std::string, std::string> byName;
  for (const Input& input : inputs) {
    const auto [it, added] = byName.emplace(datafiles::foldMemberName(input.name), input.file.string());
    if (!added) {
      err << "vxar create: " << quoted(it->second) << " and " << quoted(input.file.string())
          << " give the same member name '" << escaped(input.name) << "'\n";
      return kFailed;
    }
  }
  PassPhrase pass;
  if (const int status = takePassPhrase("create", line, true, pass, err)) return status;
  options.passPhrase = pass.text;

  // On a terminal, members of 4 MiB or more show how far their packing has gone.
  std::string prefix;  // "[i/n] name ... " of the member being packed
  bool shown = false;
  const bool terminal = onTerminal(out);
  if (!quiet && terminal) {
    options.progress = [&](size_t done, size_t size) {
      if (size < (size_t{4} << 20)) return;
      out << "\r" << prefix << done * 100 / size << "%" << std::flush;
      shown = true;
    };
  }

  datafiles::ArchiveWriter writer(options);
  uint64_t totalIn = 0;
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < inputs.size(); ++i) {
    const Input& input = inputs[i];
    std::time_t modified = -1;
    std::string error;
    if (!readWhole(input.file, bytes, modified, error)) {
      err << "vxar create: cannot read " << quoted(input.file.string()) << ": " << error << "\n";
      return kFailed;
    }
    datafiles::MemberOptions member;
    member.modified = modified;
    prefix = "[" + std::to_string(i + 1) + "/" + std::to_string(inputs.size()) + "] " + escaped(input.name) + " ... ";
    if (!quiet) out << prefix;
    if (!quiet && terminal) out << std::flush;  // the name shows while the member is packed
    shown = false;
    try {
      writer.addMember(input.name, bytes, member);
    } catch (const std::invalid_argument& e) {
      if (!quiet) out << "\n";
      err << "vxar create: " << escaped(e.what()) << "\n";
      return kFailed;
    }
    totalIn += bytes.size();
    // In a solid archive a member's packed size is known only once the next one is added.
    if (shown) out << "\r" << prefix;
    if (!quiet) out << bytes.size() << " bytes" << (writer.members().back().audio ? ", audio" : "") << "\n";
  }
  std::string error;
  if (!writer.finishToFile(archivePath, &error)) {
    err << "vxar create: " << escaped(error) << "\n";
    return kFailed;
  }
  if (!quiet) {
    std::error_code ec;
    const uint64_t size = fs::file_size(archivePath, ec);
    out << escaped(archivePath) << ": " << inputs.size() << " member(s), " << totalIn << " -> " << size
        << " bytes (" << percent(size, totalIn) << ")"
        << (options.passPhrase.empty() ? "" : line.has("password") || line.has("ask-password")
                                                  ? ", enciphered"
                                                  : ", enciphered under VXAR_PASSWORD")
        << "\n";
  }
  return kSuccess;
}

// ---- list, test, extract ----

// Why a walk ended early, in words; empty when it went to the end.
std::string walkProblem(const datafiles::WalkResult& r) {
  using datafiles::WalkEnd;
  switch (r.end) {
    case WalkEnd::Complete:
    case WalkEnd::Stopped: return {};
    case WalkEnd::CannotOpen: return std::string("cannot be opened: ") + std::strerror(r.error);
    case WalkEnd::NotAnArchive: return "is not a data archive";
    case WalkEnd::DamagedMainHeader: return "has a damaged main header";
    case WalkEnd::Damaged:
      return "is damaged or cut short after " + std::to_string(r.members) + " member(s) (at offset " +
             std::to_string(r.damageOffset) + (r.error ? std::string(": ") + std::strerror(r.error) : "") + ")";
  }
  return "cannot be read";
}

int list(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  CommandLine line;
  if (const auto status = parseOptions("list", args, {}, kListHelp, line, out, err)) return *status;
  if (line.positional.size() != 1) return usage(err, "list", "needs exactly one archive");
  const std::string& archive = line.positional[0];
  datafiles::WalkOptions options;
  options.decode = false;
  std::ostringstream rows;
  uint64_t totalIn = 0, totalOut = 0;
  const datafiles::WalkResult result = datafiles::walkArchive(archive, options, [&](const datafiles::WalkedMember& m) {
    const datafiles::ArchiveFileHeader& h = m.header;
    rows << std::setw(10) << h.unpSize << ' ' << std::setw(10) << h.packSize << ' ' << std::setw(7)
         << percent(h.packSize, h.unpSize) << "  " << std::left << std::setw(8) << methodName(h.method) << ' '
         << (m.continuesSolid() ? 'S' : '-') << (m.enciphered() ? 'E' : '-') << "     " << hex8(h.fileCrc)
         << "  " << std::right << shownName(m.name) << (m.headerCrcOk ? "" : "  (damaged header)") << "\n";
    totalIn += h.unpSize;
    totalOut += h.packSize;
    return true;
  });
  const std::string problem = walkProblem(result);
  if (!problem.empty() && result.members == 0) {
    err << "vxar list: " << quoted(archive) << " " << problem << "\n";
    return kFailed;
  }
  out << escaped(archive) << ": " << (result.solid ? "solid " : "") << "archive, " << result.members
      << " member(s)\n";
  out << "      Size     Packed   Ratio  Method   Flags  CRC-32    Name\n";
  out << rows.str();
  out << std::setw(10) << totalIn << ' ' << std::setw(10) << totalOut << ' ' << std::setw(7)
      << percent(totalOut, totalIn) << "\n";
  if (!problem.empty()) {
    out << std::flush;
    err << "vxar list: " << quoted(archive) << " " << problem << "\n";
    return kFailed;
  }
  return kSuccess;
}

// Why a member that was asked for did not come out, or an empty text.
std::string failureReason(const datafiles::WalkedMember& m) {
  using datafiles::MemberOutcome;
  switch (m.outcome) {
    case MemberOutcome::Ok: return {};
    case MemberOutcome::UnsupportedVersion: return "unsupported version " + std::to_string(m.header.unpVer);
    case MemberOutcome::NeedsPassPhrase: return "enciphered: needs a pass phrase" + std::string(passPhraseHint());
    case MemberOutcome::CrcMismatch:
      if (!m.headerCrcOk) return "damaged header";
      return datafiles::describeOutcome(m.outcome, m.enciphered());
    default: return datafiles::describeOutcome(m.outcome, m.enciphered());
  }
}

// "[i] name ... ok" lines on `out` (none when quiet), each failure with its reason on `err`.
struct MemberReport {
  std::ostream& out;
  std::ostream& err;
  std::string command;
  bool quiet;
  bool flushEach;  // on a terminal: every line as soon as it is complete
  size_t failed = 0;

  void line(size_t index, const std::string& name, const std::string& result) {
    if (quiet) return;
    out << "[" << (index + 1) << "] " << name << " ... " << result << "\n";
    if (flushEach) out << std::flush;
  }
  void done(size_t index, const std::string& name, bool ok, const std::string& reason) {
    line(index, name, ok ? "ok" : "FAILED");
    if (ok) return;
    ++failed;
    out << std::flush;
    err << "vxar " << command << ": " << name << ": " << reason << "\n";
  }
};

int test(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  CommandLine line;
  if (const auto status = parseOptions("test", args, {kPassword, kAskPassword, kQuiet}, kTestHelp, line, out, err))
    return *status;
  if (line.positional.size() != 1) return usage(err, "test", "needs exactly one archive");
  const std::string& archive = line.positional[0];
  PassPhrase pass;
  if (const int status = takePassPhrase("test", line, false, pass, err)) return status;
  datafiles::WalkOptions options;
  options.passPhrase = pass.text;
  options.askPassPhrase = passPhrasePrompt(pass);
  MemberReport report{out, err, "test", line.has("quiet"), onTerminal(out)};
  const datafiles::WalkResult result = datafiles::walkArchive(archive, options, [&](const datafiles::WalkedMember& m) {
    report.done(m.index, shownName(m.name), m.outcome == datafiles::MemberOutcome::Ok, failureReason(m));
    return true;
  });
  out << std::flush;
  const std::string problem = walkProblem(result);
  if (!problem.empty()) err << "vxar test: " << quoted(archive) << " " << problem << "\n";
  if (report.failed) {
    err << "vxar test: " << report.failed << " of " << result.members << " member(s) failed\n";
    return kFailed;
  }
  if (!problem.empty()) return kFailed;
  if (!report.quiet) out << escaped(archive) << ": all " << result.members << " member(s) ok\n";
  return kSuccess;
}

// A DOS date and time (local time) as calendar time; -1 when it names no time.
std::time_t fromDosTime(uint32_t dosTime) {
  std::tm t{};
  t.tm_year = int(dosTime >> 25) + 80;
  t.tm_mon = int(dosTime >> 21 & 15) - 1;
  t.tm_mday = int(dosTime >> 16 & 31);
  t.tm_hour = int(dosTime >> 11 & 31);
  t.tm_min = int(dosTime >> 5 & 63);
  t.tm_sec = int(dosTime & 31) * 2;
  t.tm_isdst = -1;
  if (t.tm_mon < 0 || t.tm_mon > 11 || t.tm_mday < 1) return std::time_t(-1);
  return std::mktime(&t);
}

int extract(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  CommandLine line;
  if (const auto status = parseOptions("extract", args,
                                       {{'o', "output", true}, kPassword, kAskPassword, kOverwrite,
                                        {'k', "skip-existing", false}, kQuiet},
                                       kExtractHelp, line, out, err))
    return *status;
  if (line.positional.empty()) return usage(err, "extract", "needs an archive");
  if (line.has("overwrite") && line.has("skip-existing"))
    return usage(err, "extract", "--overwrite and --skip-existing exclude each other");
  const std::string& archive = line.positional[0];
  const ExistingFiles existing = line.has("overwrite")       ? ExistingFiles::Overwrite
                                 : line.has("skip-existing") ? ExistingFiles::Skip
                                                             : ExistingFiles::Refuse;
  PassPhrase pass;
  if (const int status = takePassPhrase("extract", line, false, pass, err)) return status;

  // The members asked for by folded name; each name must match at least one member.
  std::map<std::string, std::pair<std::string, bool>> asked;  // folded -> (as typed, matched)
  for (size_t i = 1; i < line.positional.size(); ++i)
    asked.emplace(datafiles::foldMemberName(line.positional[i]), std::make_pair(line.positional[i], false));
  auto isAsked = [&](const std::string& name) {
    return asked.empty() || asked.count(datafiles::foldMemberName(name)) > 0;
  };

  // The archive must open before the output folder is made.
  if (std::FILE* probe = platform::openFile(archive, "rb")) {
    std::fclose(probe);
  } else {
    err << "vxar extract: " << quoted(archive) << " cannot be opened: " << std::strerror(errno) << "\n";
    return kFailed;
  }
  OutputFolder folder;
  std::string error;
  if (!folder.open(line.has("output") ? line.valueOf("output") : ".", error)) {
    err << "vxar extract: " << error << "\n";
    return kFailed;
  }

  datafiles::WalkOptions options;
  options.passPhrase = pass.text;
  options.askPassPhrase = passPhrasePrompt(pass);
  options.wanted = [&](const datafiles::WalkedMember& m) {
    std::string reason;
    return isAsked(m.name) && memberPath(m.name, systemNameRules(), reason).has_value();
  };
  MemberReport report{out, err, "extract", line.has("quiet"), onTerminal(out)};
  size_t written = 0, skipped = 0;
  const datafiles::WalkResult result = datafiles::walkArchive(archive, options, [&](const datafiles::WalkedMember& m) {
    if (!isAsked(m.name)) return true;
    if (!asked.empty()) asked[datafiles::foldMemberName(m.name)].second = true;
    const std::string shown = shownName(m.name);
    std::string reason;
    const std::optional<std::vector<std::string>> parts = memberPath(m.name, systemNameRules(), reason);
    if (!parts) {
      report.done(m.index, shown, false, reason);
      return true;
    }
    if (m.outcome != datafiles::MemberOutcome::Ok) {
      report.done(m.index, shown, false, failureReason(m));
      return true;
    }
    switch (folder.write(*parts, m.data, m.size, fromDosTime(m.header.fileTime), existing, reason)) {
      case OutputFolder::Result::Written:
        ++written;
        report.done(m.index, shown, true, {});
        break;
      case OutputFolder::Result::Skipped:
        ++skipped;
        report.line(m.index, shown, "skipped (" + reason + ")");
        break;
      case OutputFolder::Result::Failed: report.done(m.index, shown, false, reason); break;
    }
    return true;
  });
  out << std::flush;
  for (const auto& [folded, typed] : asked) {
    if (typed.second) continue;
    err << "vxar extract: " << escaped(typed.first) << ": no such member\n";
    ++report.failed;
  }
  const std::string problem = walkProblem(result);
  if (!problem.empty()) err << "vxar extract: " << quoted(archive) << " " << problem << "\n";
  if (report.failed) {
    err << "vxar extract: " << report.failed << " member(s) failed\n";
    return kFailed;
  }
  if (!problem.empty()) return kFailed;
  if (!report.quiet)
    out << escaped(archive) << ": " << written << " member(s) written"
        << (skipped ? ", " + std::to_string(skipped) + " kept as they were" : "") << "\n";
  return kSuccess;
}

}  // namespace

int runArchiveTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << kOverview;
    return kUsage;
  }
  const std::string& command = args[0];
  if (command == "-h" || command == "--help" || command == "help") {
    out << kOverview;
    return kSuccess;
  }
  if (command == "create" || command == "c") return create(args, out, err);
  if (command == "list" || command == "l") return list(args, out, err);
  if (command == "test" || command == "t") return test(args, out, err);
  if (command == "extract" || command == "x") return extract(args, out, err);
  return usage(err, "", "unknown command '" + escaped(command) + "'");
}

}  // namespace archivetool
