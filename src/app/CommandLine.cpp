#include "app/CommandLine.h"

#include <getopt.h>

namespace app {

#ifndef VX_VERSION
#define VX_VERSION "unknown"
#endif

bool parseProgramOptions(const std::vector<std::string>& args, ProgramOptions* options, std::string* error) {
    enum { optFaithful = 256, optVersion, optTimedemo, optFps, optFrom, optTo };
    static const option longOptions[] = {
        {"faithful", no_argument, nullptr, optFaithful},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, optVersion},
        {"timedemo", no_argument, nullptr, optTimedemo},
        {"fps", required_argument, nullptr, optFps},
        {"from", required_argument, nullptr, optFrom},
        {"to", required_argument, nullptr, optTo},
        {nullptr, 0, nullptr, 0},
    };
    // getopt_long works on a writable argv of C strings; copies keep the caller's strings intact.
    std::vector<std::string> copies;
    copies.reserve(args.size() + 1);
    copies.push_back("vorthalimex");
    copies.insert(copies.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : copies) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    const int argc = static_cast<int>(copies.size());

    opterr = 0;  // the messages are ours
    optind = 0;  // a full reset of getopt's state, so that it can parse more than once
    int c;
    int longIndex = -1;
    std::string stepOption;  // the first --fps, --from or --to given
    // "--name=value": a long option given a value, which only a value-less option can refuse.
    const auto givenAValue = [](const std::string& arg) {
        return arg.compare(0, 2, "--") == 0 && arg.find('=') != std::string::npos;
    };
    const auto takesNoValue = [](const std::string& arg) {
        return "option '" + arg.substr(0, arg.find('=')) + "' takes no value";
    };
    // "+": stop at the first argument that is no option; ":": a missing value returns ':'.
    while ((c = getopt_long(argc, argv.data(), "+:h", longOptions, &longIndex)) != -1) {
        switch (c) {
            case 'h': options->help = true; break;
            case optVersion: options->version = true; break;
            case optFaithful: options->renderPath = content::RenderPath::Faithful; break;
            case optTimedemo: options->timedemo = true; break;
            case optFps:
            case optFrom:
            case optTo: {
                const std::string name = std::string("--") + longOptions[longIndex].name;
                if (stepOption.empty()) stepOption = name;
                if (!parseStepOption(name, optarg, &options->step, error)) return false;
                break;
            }
            case ':': {
                // A long option given a value it does not take comes here from BSD-style getopt
                // (MinGW's), and to the default case from glibc's.
                const std::string arg = copies[static_cast<size_t>(optind - 1)];
                *error = givenAValue(arg) ? takesNoValue(arg) : "option '" + arg + "' needs a value";
                return false;
            }
            default: {
                // optopt: 0 for an unknown long option (optind has moved past it), the value of a
                // long option given a value it does not take, or the unknown short option.
                const std::string arg = copies[static_cast<size_t>(optind - 1)];
                if (optopt == 0)
                    *error = "unknown option '" + arg + "'";
                else if (givenAValue(arg))
                    *error = takesNoValue(arg);
                else
                    *error = std::string("unknown option '-") + static_cast<char>(optopt) + "'";
                return false;
            }
        }
    }
    if (optind < argc) {
        *error = "unexpected argument '" + copies[static_cast<size_t>(optind)] + "'";
        return false;
    }
    if (options->help || options->version) return true;
    if (!stepOption.empty() && !options->timedemo) {
        *error = "option '" + stepOption + "' only applies with --timedemo";
        return false;
    }
    return !options->timedemo || checkStepRange(options->step, error);
}

std::string programUsage(const std::string& program) {
    return "Usage: " + program + " [--faithful]\n"
           "       " + program + " --timedemo [--fps N] [--from MS] [--to MS] [--faithful]\n"
           "Plays the show: full screen at 640x480 (else 1280x960, else a 640x480 window), about\n"
           "four minutes of picture and music, until its end, Escape or the window's closing.\n"
           "\n"
           "Options:\n"
           "      --faithful  draw with the reference OpenGL 1.1 path, call for call; by default\n"
           "                  the show takes the fastest path the GL offers (the same picture)\n"
           "      --timedemo  draw the whole show as fast as the machine goes, without sound, at\n"
           "                  a fixed step of music time (frame n shows 400 + n * 1000 / fps ms),\n"
           "                  progress on stderr; then print one summary line on stdout: frames,\n"
           "                  seconds, average fps, median, p99 and worst frame ms, render path\n"
           "                  and GL renderer. Escape stops it early with the summary so far\n"
           "      --fps N     the timedemo's step: N frames per second of music, 1 to 1000\n"
           "                  (default 60)\n"
           "      --from MS   start the timedemo at music time MS (default 400, the first frame)\n"
           "      --to MS     end the timedemo before music time MS (default: the end of the show)\n"
           "  -h, --help      show this text and exit\n"
           "      --version   show the version and exit\n"
           "\n"
           "Keys: Escape ends the show; keypad + and - seek 5.333 s forward and back; Alt+Enter\n"
           "switches between full screen and a window.\n"
           "\n"
           "Content: data/ and blow.job, from the first of these folders that holds blow.job or\n"
           "data/Vorthalimex.mp3 (any other data/ folder is not the show's): the working\n"
           "directory, the program's own folder, the build's run directory (<build>/run for\n"
           "<build>/bin/" + program + ") and the installed data folder (<prefix>/share/vorthalimex\n"
           "for <prefix>/bin/" + program + ").\n"
           "\n"
           "Environment: VX_RENDER_PATH=faithful|fast chooses the path when --faithful is not\n"
           "given; VX_MESSAGE_BOX=0 keeps error reports to stderr (no box); SDL_AUDIODRIVER=dummy\n"
           "plays silently.\n"
           "Exit status: 0 after the show or the timedemo (also when stopped early), 1 when there\n"
           "is no window or no content, 2 for a bad command line.\n";
}

std::string programVersion(const std::string& program) { return program + " " VX_VERSION "\n"; }

}  // namespace app
