// The program's command line: what parses, and the reason given for what does not.
#include "app/CommandLine.h"

#include <gtest/gtest.h>

namespace {

using app::ProgramOptions;
using content::RenderPath;

TEST(CommandLine, NoArgumentsPlaysTheShowAsItAlwaysDid) {
    ProgramOptions options;
    std::string error;
    ASSERT_TRUE(app::parseProgramOptions({}, &options, &error)) << error;
    EXPECT_FALSE(options.help);
    EXPECT_FALSE(options.version);
    EXPECT_FALSE(options.renderPath.has_value()) << "the start-up choice decides";
}

TEST(CommandLine, OptionsAbbreviationsAndTheEndOfOptions) {
    const struct {
        std::vector<std::string> args;
        bool help, version, faithful;
    } cases[] = {
        {{"--help"}, true, false, false},
        {{"-h"}, true, false, false},
        {{"--he"}, true, false, false},
        {{"--version"}, false, true, false},
        {{"--v"}, false, true, false},
        {{"--faithful"}, false, false, true},
        {{"--faith"}, false, false, true},
        {{"--faithful", "--help"}, true, false, true},
        {{"--faithful", "--"}, false, false, true},
    };
    for (const auto& c : cases) {
        ProgramOptions options;
        std::string error;
        ASSERT_TRUE(app::parseProgramOptions(c.args, &options, &error)) << c.args.front() << ": " << error;
        EXPECT_EQ(options.help, c.help) << c.args.front();
        EXPECT_EQ(options.version, c.version) << c.args.front();
        EXPECT_EQ(options.renderPath == RenderPath::Faithful, c.faithful) << c.args.front();
    }
}

TEST(CommandLine, AnythingElseIsRefusedWithTheReason) {
    const struct {
        std::vector<std::string> args;
        const char* error;
    } cases[] = {
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"--fast"}, "unknown option '--fast'"},
        {{"-x"}, "unknown option '-x'"},
        {{"-hx"}, "unknown option '-x'"},
        {{"--help=yes"}, "option '--help' takes no value"},
        {{"--faithful=1"}, "option '--faithful' takes no value"},
        {{"show"}, "unexpected argument 'show'"},
        {{"--faithful", "show"}, "unexpected argument 'show'"},
        {{"--", "--help"}, "unexpected argument '--help'"},
        {{"-"}, "unexpected argument '-'"},
    };
    for (const auto& c : cases) {
        ProgramOptions options;
        std::string error;
        EXPECT_FALSE(app::parseProgramOptions(c.args, &options, &error)) << c.args.front();
        EXPECT_EQ(error, c.error) << c.args.front();
    }
}

TEST(CommandLine, TimedemoTakesTheCapturesStepOptions) {
    const struct {
        std::vector<std::string> args;
        int fps, from, to;
        bool faithful;
    } cases[] = {
        {{"--timedemo"}, 60, 400, -1, false},
        {{"--timedemo", "--fps", "30"}, 30, 400, -1, false},
        {{"--timedemo", "--fps=1000", "--faithful"}, 1000, 400, -1, true},
        {{"--fps", "1", "--timedemo"}, 1, 400, -1, false},
        {{"--timedemo", "--from", "60000", "--to=60500"}, 60, 60000, 60500, false},
        {{"--timedemo", "--to", "999999"}, 60, 400, 999999, false},  // clamped to the show's end
        {{"--timedemo", "--from", "251586"}, 60, 251586, -1, false},
        {{"--time", "--fr", "1000"}, 60, 1000, -1, false},  // abbreviations
    };
    for (const auto& c : cases) {
        ProgramOptions options;
        std::string error;
        ASSERT_TRUE(app::parseProgramOptions(c.args, &options, &error)) << c.args.back() << ": " << error;
        EXPECT_TRUE(options.timedemo) << c.args.back();
        EXPECT_EQ(options.step.fps, c.fps) << c.args.back();
        EXPECT_EQ(options.step.fromMs, c.from) << c.args.back();
        EXPECT_EQ(options.step.toMs, c.to) << c.args.back();
        EXPECT_EQ(options.renderPath == RenderPath::Faithful, c.faithful) << c.args.back();
    }
}

TEST(CommandLine, BadTimedemoOptionsAreRefusedWithTheReason) {
    const struct {
        std::vector<std::string> args;
        const char* error;
    } cases[] = {
        {{"--timedemo", "--fps", "0"}, "option --fps: 0 is out of range (1 to 1000 frames per second)"},
        {{"--timedemo", "--fps", "1001"}, "option --fps: 1001 is out of range (1 to 1000 frames per second)"},
        {{"--timedemo", "--fps=29.97"}, "option --fps: '29.97' is not a whole number of frames per second"},
        {{"--timedemo", "--from", "1e3"}, "option --from: '1e3' is not a music time in milliseconds"},
        {{"--timedemo", "--to="}, "option --to: '' is not a music time in milliseconds"},
        {{"--timedemo", "--fps"}, "option '--fps' needs a value"},
        {{"--timedemo", "--from", "399"}, "option --from: 399 is before the show's first frame (400 ms)"},
        {{"--timedemo", "--from", "251587"}, "option --from: 251587 is at or after the end of the show (251587 ms)"},
        {{"--timedemo", "--from", "5000", "--to", "5000"}, "the time range 5000 to 5000 ms is empty"},
        {{"--fps", "30"}, "option '--fps' only applies with --timedemo"},
        {{"--faithful", "--to", "9000", "--from", "500"}, "option '--to' only applies with --timedemo"},
        {{"--timedemo=1"}, "option '--timedemo' takes no value"},
        {{"--timedemo", "now"}, "unexpected argument 'now'"},
    };
    for (const auto& c : cases) {
        ProgramOptions options;
        std::string error;
        EXPECT_FALSE(app::parseProgramOptions(c.args, &options, &error)) << c.args.back();
        EXPECT_EQ(error, c.error) << c.args.back();
    }
}

TEST(CommandLine, ParsesAgainAfterAFailure) {
    ProgramOptions bad;
    std::string error;
    ASSERT_FALSE(app::parseProgramOptions({"--faithful", "-x"}, &bad, &error));
    ProgramOptions good;
    ASSERT_TRUE(app::parseProgramOptions({"--version"}, &good, &error)) << error;
    EXPECT_TRUE(good.version);
    EXPECT_FALSE(good.renderPath.has_value());
}

TEST(CommandLine, HelpNamesEveryOptionAndWhereTheContentIsLookedFor) {
    const std::string usage = app::programUsage("vorthalimex");
    for (const char* text : {"Usage: vorthalimex", "--faithful", "--help", "--version", "--timedemo", "--fps N",
                             "--from MS", "--to MS", "share/vorthalimex", "<build>/run", "blow.job or\ndata/Vorthalimex.mp3",
                             "the program's own folder", "VX_RENDER_PATH", "Exit status"})
        EXPECT_NE(usage.find(text), std::string::npos) << text;
    EXPECT_EQ(app::programVersion("vorthalimex").rfind("vorthalimex ", 0), 0u);
}

}  // namespace
