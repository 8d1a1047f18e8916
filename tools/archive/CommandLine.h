#pragma once
// Options of one vxar command, parsed with getopt_long: combined short options (-qs), values
// attached or apart (-l5, -l 5, --level=5, --level 5), unambiguous abbreviations of long options
// (--pass), options anywhere among the other arguments, and "--" to end them.
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace archivetool {

struct OptionSpec {
  char shortName;        // 0: long form only
  const char* longName;  // without the dashes
  bool takesValue;
};

struct CommandLine {
  std::map<std::string, std::string> values;  // by long name; options without a value map to ""
  std::vector<std::string> positional;

  bool has(const char* longName) const { return values.count(longName) > 0; }
  std::string valueOf(const char* longName) const {
    const auto it = values.find(longName);
    return it == values.end() ? std::string() : it->second;
  }
};

// Parses `args` (the command word first, then its arguments). -h/--help is always known and
// shows as the value "help". Returns the usage error in words, or nothing.
std::optional<std::string> parseCommandLine(const std::vector<std::string>& args,
                                            const std::vector<OptionSpec>& specs, CommandLine& line);

}  // namespace archivetool
