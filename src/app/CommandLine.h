#pragma once
// The program's command line. With no arguments the show plays as it always did; the options
// only add to that.
#include <optional>
#include <string>
#include <vector>

#include "content/RenderPath.h"

namespace app {

struct ProgramOptions {
    bool help = false;
    bool version = false;
    std::optional<content::RenderPath> renderPath;  // --faithful; unset: the start-up choice decides
};

// Parses the arguments after the program name (GNU style: long options may be abbreviated, "--"
// ends the options). False, with a one-line reason in *error, on an unknown option, an option
// given a value it does not take, or any other argument.
bool parseProgramOptions(const std::vector<std::string>& args, ProgramOptions* options, std::string* error);

// The --help text and the --version line.
std::string programUsage(const std::string& program);
std::string programVersion(const std::string& program);

}  // namespace app
