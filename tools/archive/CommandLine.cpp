#include "CommandLine.h"

#include <getopt.h>

#include <cstring>

namespace archivetool {

std::optional<std::string> parseCommandLine(const std::vector<std::string>& args,
                                            const std::vector<OptionSpec>& given, CommandLine& line) {
  std::vector<OptionSpec> specs = given;
  specs.push_back({'h', "help", false});

  // ':' first: a missing value is told apart from an unknown option, and getopt prints nothing.
  std::string shortOptions = ":";
  std::vector<option> longOptions;
  for (size_t i = 0; i < specs.size(); ++i) {
    if (specs[i].shortName) {
      shortOptions += specs[i].shortName;
      if (specs[i].takesValue) shortOptions += ':';
    }
    // Long options report their index through `val`, offset past every character.
    longOptions.push_back({specs[i].longName, specs[i].takesValue ? required_argument : no_argument,
                           nullptr, int(256 + i)});
  }
  longOptions.push_back({nullptr, 0, nullptr, 0});

  std::vector<std::string> storage(args.begin(), args.end());
  if (storage.empty()) storage.push_back("vxar");
  std::vector<char*> argv;
  for (std::string& s : storage) argv.push_back(s.data());
  argv.push_back(nullptr);
  const int argc = int(storage.size());

  optind = 0;  // a full restart of GNU getopt's scan
  opterr = 0;
  // The text of the option getopt looked at last, for messages.
  auto lastText = [&]() -> std::string {
    const int at = optind - 1;
    std::string text = at >= 1 && at < argc ? argv[size_t(at)] : "";
    if (const size_t eq = text.find('='); text.rfind("--", 0) == 0 && eq != std::string::npos)
      text.resize(eq);
    return text;
  };
  for (;;) {
    int longIndex = -1;
    const int c = getopt_long(argc, argv.data(), shortOptions.c_str(), longOptions.data(), &longIndex);
    if (c == -1) break;
    if (c == '?') {
      if (optopt != 0 && optopt < 256) return "unknown option '-" + std::string(1, char(optopt)) + "'";
      const std::string text = lastText();
      // A known long option given a value it does not take (--solid=yes).
      if (optopt >= 256) return "option '--" + std::string(specs[size_t(optopt - 256)].longName) + "' takes no value";
      // An abbreviation that fits more than one long option.
      if (text.rfind("--", 0) == 0 && text.size() > 2) {
        std::string candidates;
        size_t count = 0;
        for (const OptionSpec& s : specs) {
          if (std::strncmp(s.longName, text.c_str() + 2, text.size() - 2) == 0) {
            candidates += (count++ ? ", --" : "--") + std::string(s.longName);
          }
        }
        if (count > 1) return "option '" + text + "' is ambiguous (" + candidates + ")";
      }
      return "unknown option '" + text + "'";
    }
    if (c == ':') {
      if (optopt != 0 && optopt < 256) return "option '-" + std::string(1, char(optopt)) + "' needs a value";
      return "option '" + lastText() + "' needs a value";
    }
    const OptionSpec* spec = nullptr;
    if (c >= 256) {
      spec = &specs[size_t(c - 256)];
    } else {
      for (const OptionSpec& s : specs)
        if (s.shortName == c) spec = &s;
    }
    if (!spec) return "unknown option '-" + std::string(1, char(c)) + "'";
    line.values[spec->longName] = spec->takesValue && optarg ? optarg : "";
  }
  for (int i = optind; i < argc; ++i) line.positional.push_back(argv[size_t(i)]);
  return std::nullopt;
}

}  // namespace archivetool
