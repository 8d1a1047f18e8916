#pragma once
// The program's command line. With no arguments the show plays as it always did; the options
// only add to that.
#include <optional>
#include <string>
#include <vector>

#include "app/FixedStep.h"
#include "content/RenderPath.h"

namespace app {

struct ProgramOptions {
    bool help = false;
    bool version = false;
    std::optional<content::RenderPath> renderPath;  // --faithful; unset: the start-up choice decides
    bool timedemo = false;  // --timedemo: draw the show at a fixed step as fast as it goes, silent
    StepOptions step;       // --fps, --from, --to of the timedemo
};

// Parses the arguments after the program name (GNU style: long options may be abbreviated, "--"
// ends the options). False, with a one-line reason in *error, on an unknown option, an option
// given a value it does not take or missing the value it needs, a bad --fps, --from or --to
// (app/FixedStep.h) or one of them without --timedemo, or any other argument.
bool parseProgramOptions(const std::vector<std::string>& args, ProgramOptions* options, std::string* error);

// The --help text and the --version line.
std::string programUsage(const std::string& program);
std::string programVersion(const std::string& program);

}  // namespace app
