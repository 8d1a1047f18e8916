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
    for (const char* text : {"Usage: vorthalimex", "--faithful", "--help", "--version", "share/vorthalimex",
                             "<build>/run", "VX_RENDER_PATH", "Exit status"})
        EXPECT_NE(usage.find(text), std::string::npos) << text;
    EXPECT_EQ(app::programVersion("vorthalimex").rfind("vorthalimex ", 0), 0u);
}

}  // namespace
