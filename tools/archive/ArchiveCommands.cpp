#include "ArchiveCommands.h"

#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>

#include "ArchiveDirectory.h"
#include "datafiles/ArchiveReader.h"
#include "datafiles/ArchiveWriter.h"

namespace archivetool {

namespace fs = std::filesystem;

namespace {

const char* const kOverview =
    "usage: vxar COMMAND [OPTIONS] ARCHIVE [...]\n"
    "Makes, lists, tests and extracts data archives (RAR 2.0 format, as the demo reads them).\n"
    "\n"
    "commands:\n"
    "  create   pack files and folders into a new archive\n"
    "  list     show the members with their sizes, ratio, method, flags and CRC-32\n"
    "  test     check every member against its CRC-32\n"
    "  extract  write members out into a folder\n"
    "\n"
    "'vxar COMMAND --help' describes a command. Exit status: 0 success, 1 a member or the\n"
    "archive failed, 2 usage error.\n";

const char* const kCreateHelp =
    "usage: vxar create [OPTIONS] ARCHIVE INPUT...\n"
    "Packs INPUTs into a new ARCHIVE (replaced if it exists). A file is stored under its own\n"
    "name; a folder adds every file below it under its path relative to that folder, so its\n"
    "contents land at the top of the archive.\n"
    "\n"
    "options:\n"
    "  -l, --level N        0 store, 1 fastest ... 5 best (default 3)\n"
    "  -s, --solid          one continuous compressed stream for all members\n"
    "  -p, --password TEXT  encipher every member under this pass phrase\n"
    "  -a, --audio MODE     audio mode for sampled sound: auto (default), on, off\n"
    "  -q, --quiet          no progress lines\n"
    "  -h, --help           this text\n";

const char* const kListHelp =
    "usage: vxar list ARCHIVE\n"
    "Lists the members: unpacked and packed size, ratio, method, flags (S continues a solid\n"
    "stream, E enciphered), CRC-32 and name.\n";

const char* const kTestHelp =
    "usage: vxar test [-p TEXT] ARCHIVE\n"
    "Decodes every member and checks it against its CRC-32; names each failed member and why.\n"
    "\n"
    "options:\n"
    "  -p, --password TEXT  pass phrase of enciphered members\n"
    "  -q, --quiet          only failures\n";

const char* const kExtractHelp =
    "usage: vxar extract [OPTIONS] ARCHIVE [MEMBER...]\n"
    "Writes all members, or the named ones, below the output folder, creating folders as\n"
    "needed. Members whose names would lead outside the output folder (absolute paths, '..')\n"
    "are refused. Names are matched as the demo matches them: case-blind, '/' and '\\' alike.\n"
    "\n"
    "options:\n"
    "  -o, --output DIR     output folder (default: the current folder)\n"
    "  -p, --password TEXT  pass phrase of enciphered members\n"
    "  -q, --quiet          only failures\n";

// Options and positional arguments of one command.
struct CommandLine {
  std::map<std::string, std::string> values;  // by long name; flags map to ""
  std::vector<std::string> positional;
  bool help = false;
};

struct OptionSpec {
  const char* shortName;
  const char* longName;
  bool takesValue;
};

// Parses `args` after the command word; returns an error text on a usage error.
std::optional<std::string> parse(const std::vector<std::string>& args,
                                 const std::vector<OptionSpec>& specs, CommandLine& line) {
  bool optionsEnded = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      line.positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      line.help = true;
      continue;
    }
    std::string name = arg, value;
    bool inlineValue = false;
    if (const size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
      inlineValue = true;
    }
    const auto spec = std::find_if(specs.begin(), specs.end(), [&](const OptionSpec& s) {
      return name == s.shortName || name == s.longName;
    });
    if (spec == specs.end()) return "unknown option '" + arg + "'";
    if (spec->takesValue && !inlineValue) {
      if (i + 1 >= args.size()) return "option '" + arg + "' needs a value";
      value = args[++i];
    } else if (!spec->takesValue && inlineValue) {
      return "option '" + name + "' takes no value";
    }
    line.values[spec->longName] = value;
  }
  return std::nullopt;
}

bool has(const CommandLine& line, const char* longName) { return line.values.count(longName) > 0; }

std::string valueOf(const CommandLine& line, const char* longName) {
  const auto it = line.values.find(longName);
  return it == line.values.end() ? std::string() : it->second;
}

int usage(std::ostream& err, const std::string& command, const std::string& problem) {
  err << "vxar" << (command.empty() ? "" : " " + command) << ": " << problem
      << " (try 'vxar " << (command.empty() ? "" : command + " ") << "--help')\n";
  return kUsage;
}

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

// "[i/n] name ... ok" lines on `out` (none when quiet), each failure with its reason on `err`.
struct MemberReport {
  std::ostream& out;
  std::ostream& err;
  std::string command;
  bool quiet;
  size_t total;
  size_t failed = 0;

  void start(size_t index, const std::string& name) const {
    if (!quiet) out << "[" << (index + 1) << "/" << total << "] " << name << " ... " << std::flush;
  }
  void done(const std::string& name, bool ok, const std::string& reason) {
    if (!quiet) out << (ok ? "ok\n" : "FAILED\n") << std::flush;
    if (ok) return;
    ++failed;
    err << "vxar " << command << ": " << name << ": " << reason << "\n";
  }
};

// ---- create ----

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
        err << "vxar create: cannot read folder '" << path << "': " << ec.message() << "\n";
        return false;
      }
      std::sort(below.begin(), below.end(),
                [](const Input& a, const Input& b) { return a.name < b.name; });
      inputs.insert(inputs.end(), below.begin(), below.end());
    } else {
      err << "vxar create: cannot read '" << path << "': "
          << (ec ? ec.message() : std::string("not a file or folder")) << "\n";
      return false;
    }
  }
  return true;
}

bool readWhole(const fs::path& path, std::vector<uint8_t>& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

int create(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  CommandLine line;
  if (auto problem = parse(args,
                           {{"-l", "--level", true},
                            {"-s", "--solid", false},
                            {"-p", "--password", true},
                            {"-a", "--audio", true},
                            {"-q", "--quiet", false}},
                           line))
    return usage(err, "create", *problem);
  if (line.help) {
    out << kCreateHelp;
    return kSuccess;
  }
  if (line.positional.size() < 2) return usage(err, "create", "needs an archive and at least one input");

  datafiles::ArchiveOptions options;
  options.solid = has(line, "--solid");
  options.passPhrase = valueOf(line, "--password");
  if (has(line, "--password") && options.passPhrase.empty())
    return usage(err, "create", "the pass phrase is empty");
  if (has(line, "--level")) {
    const std::string level = valueOf(line, "--level");
    if (level.size() != 1 || level[0] < '0' || level[0] > '5')
      return usage(err, "create", "level must be 0 to 5, not '" + level + "'");
    options.level = level[0] - '0';
  }
  if (has(line, "--audio")) {
    const std::string mode = valueOf(line, "--audio");
    if (mode == "auto") options.audio = datafiles::AudioMode::Automatic;
    else if (mode == "on") options.audio = datafiles::AudioMode::Always;
    else if (mode == "off") options.audio = datafiles::AudioMode::Off;
    else return usage(err, "create", "audio mode must be auto, on or off, not '" + mode + "'");
  }
  const bool quiet = has(line, "--quiet");
  const std::string archivePath = line.positional[0];
  // On a terminal, members of 4 MiB or more show how far their packing has gone.
  std::string prefix;  // "[i/n] name ... " of the member being packed
  bool shown = false;
  if (!quiet && &out == &std::cout && ::isatty(STDOUT_FILENO)) {
    options.progress = [&](size_t done, size_t size) {
      if (size < (size_t{4} << 20)) return;
      out << "\r" << prefix << done * 100 / size << "%" << std::flush;
      shown = true;
    };
  }

  std::vector<Input> inputs;
  if (!collectInputs({line.positional.begin() + 1, line.positional.end()}, inputs, err))
    return kFailed;
  // The program finds a member by its folded name: a second member of the same name would be
  // out of its reach.
  std::map<std::string, std::string> byName;
  for (const Input& input : inputs) {
    const auto [it, added] =
        byName.emplace(datafiles::foldMemberName(input.name), input.file.string());
    if (!added) {
      err << "vxar create: '" << it->second << "' and '" << input.file.string()
          << "' give the same member name '" << input.name << "'\n";
      return kFailed;
    }
  }
  std::error_code ec;
  const fs::path archiveFull = fs::weakly_canonical(archivePath, ec);

  datafiles::ArchiveWriter writer(options);
  const MemberReport report{out, err, "create", quiet, inputs.size()};
  uint64_t totalIn = 0;
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < inputs.size(); ++i) {
    const Input& input = inputs[i];
    if (!ec && fs::weakly_canonical(input.file, ec) == archiveFull) continue;  // not into itself
    if (!readWhole(input.file, bytes)) {
      err << "vxar create: cannot read '" << input.file.string() << "'\n";
      return kFailed;
    }
    if (bytes.size() > 0xFFFFFFFFu) {
      err << "vxar create: '" << input.file.string() << "' is 4 GiB or more\n";
      return kFailed;
    }
    datafiles::MemberOptions member;
    struct stat st {};
    if (::stat(input.file.c_str(), &st) == 0) member.modified = st.st_mtime;
    report.start(i, input.name);
    prefix = "[" + std::to_string(i + 1) + "/" + std::to_string(inputs.size()) + "] " + input.name + " ... ";
    shown = false;
    try {
      writer.addMember(input.name, bytes, member);
    } catch (const std::invalid_argument& e) {
      if (!quiet) out << "\n";
      err << "vxar create: " << e.what() << "\n";
      return kFailed;
    }
    totalIn += bytes.size();
    // In a solid archive a member's packed size is known only once the next one is added.
    if (shown) out << "\r" << prefix;
    if (!quiet) out << bytes.size() << " bytes" << (writer.members().back().audio ? ", audio" : "") << "\n";
  }
  std::string error;
  if (!writer.finishToFile(archivePath, &error)) {
    err << "vxar create: " << error << "\n";
    return kFailed;
  }
  if (!quiet) {
    const uint64_t size = fs::file_size(archivePath, ec);
    out << archivePath << ": " << inputs.size() << " member(s), " << totalIn << " -> " << size
        << " bytes (" << percent(size, totalIn) << ")\n";
  }
  return kSuccess;
}

// ---- list, test, extract ----

// Reads the directory; prints why not when it cannot.
bool openDirectory(const std::string& command, const std::string& path, ArchiveDirectory& dir,
                   std::ostream& err) {
  dir = readArchiveDirectory(path);
  if (!dir.ok) {
    err << "vxar " << command << ": '" << path << "' " << dir.error << "\n";
    return false;
  }
  return true;
}

int list(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  CommandLine line;
  if (auto problem = parse(args, {}, line)) return usage(err, "list", *problem);
  if (line.help) {
    out << kListHelp;
    return kSuccess;
  }
  if (line.positional.size() != 1) return usage(err, "list", "needs exactly one archive");
  const ArchiveDirectory dir = readArchiveDirectory(line.positional[0]);
  if (!dir.ok && dir.members.empty()) {
    err << "vxar list: '" << line.positional[0] << "' " << dir.error << "\n";
    return kFailed;
  }
  out << line.positional[0] << ": " << (dir.solid ? "solid " : "") << "archive, "
      << dir.members.size() << " member(s)\n";
  out << "      Size     Packed   Ratio  Method   Flags  CRC-32    Name\n";
  uint64_t totalIn = 0, totalOut = 0;
  for (const DirectoryEntry& e : dir.members) {
    out << std::setw(10) << e.header.unpSize << ' ' << std::setw(10) << e.header.packSize << ' '
        << std::setw(7) << percent(e.header.packSize, e.header.unpSize) << "  " << std::left
        << std::setw(8) << methodName(e.header.method) << ' ' << (e.continuesSolid() ? 'S' : '-')
        << (e.enciphered() ? 'E' : '-') << "     " << hex8(e.header.fileCrc) << "  " << std::right << e.name
        << (e.headerCrcOk ? "" : "  (damaged header)") << "\n";
    totalIn += e.header.unpSize;
    totalOut += e.header.packSize;
  }
  out << std::setw(10) << totalIn << ' ' << std::setw(10) << totalOut << ' ' << std::setw(7)
      << percent(totalOut, totalIn) << "\n";
  if (!dir.ok) {
    err << "vxar list: '" << line.positional[0] << "' " << dir.error << "\n";
    return kFailed;
  }
  return kSuccess;
}

// Why a member cannot be produced before trying, or an empty text.
std::string obstacle(const DirectoryEntry& e, const std::string& pass) {
  if (!e.supported()) return "unsupported version " + std::to_string(e.header.unpVer);
  if (e.enciphered() && pass.empty()) return "enciphered: needs a pass phrase (-p)";
  return {};
}

std::string failureReason(const DirectoryEntry& e) {
  if (!e.headerCrcOk) return "damaged header";
  return e.enciphered() ? "wrong pass phrase or damaged data" : "damaged data (CRC-32 mismatch)";
}

// A member's content as extractMember hands it over (released with std::free).
struct Content {
  std::unique_ptr<uint8_t, decltype(&std::free)> data{nullptr, &std::free};
  uint32_t size = 0;
};

// The member's content through the program's own reader; the failure reason otherwise.
bool produce(const std::string& archive, const DirectoryEntry& e, const std::string& pass,
             Content& content, std::string& reason) {
  reason = obstacle(e, pass);
  if (!reason.empty()) return false;
  uint8_t* data = nullptr;
  if (!datafiles::extractMember(e.name, archive, pass.c_str(), data, content.size)) {
    reason = failureReason(e);
    return false;
  }
  content.data.reset(data);
  return true;
}

int test(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  CommandLine line;
  if (auto problem = parse(args, {{"-p", "--password", true}, {"-q", "--quiet", false}}, line))
    return usage(err, "test", *problem);
  if (line.help) {
    out << kTestHelp;
    return kSuccess;
  }
  if (line.positional.size() != 1) return usage(err, "test", "needs exactly one archive");
  const std::string& archive = line.positional[0];
  ArchiveDirectory dir;
  if (!openDirectory("test", archive, dir, err)) return kFailed;
  const std::string pass = valueOf(line, "--password");
  const bool quiet = has(line, "--quiet");
  MemberReport report{out, err, "test", quiet, dir.members.size()};
  Content content;
  std::string reason;
  for (size_t i = 0; i < dir.members.size(); ++i) {
    const DirectoryEntry& e = dir.members[i];
    report.start(i, e.name);
    const bool ok = produce(archive, e, pass, content, reason);
    report.done(e.name, ok, reason);
  }
  if (report.failed) {
    err << "vxar test: " << report.failed << " of " << dir.members.size() << " member(s) failed\n";
    return kFailed;
  }
  if (!quiet) out << archive << ": all " << dir.members.size() << " member(s) ok\n";
  return kSuccess;
}

// The member's place below `root`, or nothing when its name would lead anywhere else.
std::optional<fs::path> safeTarget(const fs::path& root, const std::string& name) {
  if (name.empty() || name[0] == '/' || name[0] == '\\' || (name.size() > 1 && name[1] == ':'))
    return std::nullopt;
  fs::path relative;
  std::istringstream parts(name);
  for (std::string piece; std::getline(parts, piece, '\\');) {
    std::istringstream inner(piece);
    for (std::string p; std::getline(inner, p, '/');) {
      if (p.empty() || p == ".") continue;
      if (p == "..") return std::nullopt;
      relative /= p;
    }
  }
  if (relative.empty()) return std::nullopt;
  // Folders already there may be links elsewhere: the resolved place must still lie below.
  std::error_code ec;
  const fs::path base = fs::weakly_canonical(root, ec);
  const fs::path target = fs::weakly_canonical(root / relative, ec);
  if (ec) return std::nullopt;
  const auto mismatch = std::mismatch(base.begin(), base.end(), target.begin(), target.end());
  if (mismatch.first != base.end() || target == base) return std::nullopt;
  return root / relative;
}

void setModified(const fs::path& path, uint32_t dosTime) {
  std::tm t{};
  t.tm_year = int(dosTime >> 25) + 80;
  t.tm_mon = int(dosTime >> 21 & 15) - 1;
  t.tm_mday = int(dosTime >> 16 & 31);
  t.tm_hour = int(dosTime >> 11 & 31);
  t.tm_min = int(dosTime >> 5 & 63);
  t.tm_sec = int(dosTime & 31) * 2;
  t.tm_isdst = -1;
  const std::time_t when = std::mktime(&t);
  if (when == std::time_t(-1)) return;
  utimbuf times{when, when};
  ::utime(path.c_str(), &times);
}

int extract(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  CommandLine line;
  if (auto problem = parse(
          args, {{"-o", "--output", true}, {"-p", "--password", true}, {"-q", "--quiet", false}},
          line))
    return usage(err, "extract", *problem);
  if (line.help) {
    out << kExtractHelp;
    return kSuccess;
  }
  if (line.positional.empty()) return usage(err, "extract", "needs an archive");
  const std::string& archive = line.positional[0];
  const fs::path root = has(line, "--output") ? fs::path(valueOf(line, "--output")) : fs::path(".");
  const std::string pass = valueOf(line, "--password");
  const bool quiet = has(line, "--quiet");
  ArchiveDirectory dir;
  if (!openDirectory("extract", archive, dir, err)) return kFailed;

  // The members asked for, each once; a name matching no member is a failure of its own.
  std::vector<const DirectoryEntry*> chosen;
  size_t failed = 0;
  if (line.positional.size() == 1) {
    for (const DirectoryEntry& e : dir.members) chosen.push_back(&e);
  } else {
    for (size_t i = 1; i < line.positional.size(); ++i) {
      const std::string wanted = datafiles::foldMemberName(line.positional[i]);
      const auto it = std::find_if(dir.members.begin(), dir.members.end(),
                                   [&](const DirectoryEntry& e) { return datafiles::foldMemberName(e.name) == wanted; });
      if (it == dir.members.end()) {
        err << "vxar extract: " << line.positional[i] << ": no such member\n";
        ++failed;
      } else if (std::find(chosen.begin(), chosen.end(), &*it) == chosen.end()) {
        chosen.push_back(&*it);
      }
    }
  }
  std::error_code ec;
  fs::create_directories(root, ec);
  MemberReport report{out, err, "extract", quiet, chosen.size(), failed};
  Content content;
  std::string reason;
  for (size_t i = 0; i < chosen.size(); ++i) {
    const DirectoryEntry& e = *chosen[i];
    report.start(i, e.name);
    const std::optional<fs::path> target = safeTarget(root, e.name);
    bool ok = false;
    if (!target) {
      reason = "refused: the name leads outside the output folder";
    } else if (produce(archive, e, pass, content, reason)) {
      fs::create_directories(target->parent_path(), ec);
      std::ofstream file(*target, std::ios::binary | std::ios::trunc);
      file.write(reinterpret_cast<const char*>(content.data.get()), std::streamsize(content.size));
      file.close();
      ok = bool(file);
      if (ok) setModified(*target, e.header.fileTime);
      else reason = "cannot write '" + target->string() + "': " + std::strerror(errno);
    }
    report.done(e.name, ok, reason);
  }
  if (report.failed) {
    err << "vxar extract: " << report.failed << " member(s) failed\n";
    return kFailed;
  }
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
  if (command == "create") return create(args, out, err);
  if (command == "list") return list(args, out, err);
  if (command == "test") return test(args, out, err);
  if (command == "extract") return extract(args, out, err);
  return usage(err, "", "unknown command '" + command + "'");
}

}  // namespace archivetool
