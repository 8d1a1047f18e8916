// The capture tool refuses bad command lines, missing tools and a missing display before it
// draws anything.
#include <gtest/gtest.h>

#include <string>

#include "RunCommand.h"

namespace {

using capturetest::shellQuoted;
using capturetest::runCommand;

TEST(CaptureCli, BadArgumentsAndMissingToolsEndWithAMessageAndAFailureStatus) {
    const std::string tool = shellQuoted(CAPTURE_TOOL);
    const std::string out = shellQuoted(testing::TempDir() + "capture-cli.mp4");
    const std::string still = shellQuoted(testing::TempDir() + "capture-cli.png");
    const struct {
        std::string command;
        int status;
        const char* message;
    } cases[] = {
        {tool + " --fps -5", 2, "vorthalimex-capture: option --fps: -5 is out of range"},
        {tool + " --bogus", 2, "vorthalimex-capture: unknown option '--bogus'"},
        {tool + " -o /nonexistent-dir/show.mp4", 1,
         "vorthalimex-capture: cannot write /nonexistent-dir/show.mp4: No such file or directory"},
        {tool + " --still 5000=/nonexistent-dir/a.png", 1, "cannot write /nonexistent-dir/a.png"},
        {"PATH=/nonexistent " + tool + " -o " + out, 1,
         "install the Debian package ffmpeg (sudo apt-get install ffmpeg)"},
        {tool + " -o " + out + " --run-dir /nonexistent-dir", 1,
         "cannot enter the run directory /nonexistent-dir"},
        {"env -u DISPLAY -u WAYLAND_DISPLAY " + tool + " --still 5000=" + still, 1,
         "vorthalimex-capture: cannot open the window (is there an X display?"},
    };
    for (const auto& c : cases) {
        const capturetest::CommandResult r = runCommand(c.command);
        EXPECT_EQ(r.status, c.status) << c.command << "\n" << r.output;
        EXPECT_NE(r.output.find(c.message), std::string::npos) << c.command << "\n" << r.output;
    }
}

TEST(CaptureCli, HelpNamesEveryOption) {
    const capturetest::CommandResult r = runCommand(shellQuoted(CAPTURE_TOOL) + " --help");
    EXPECT_EQ(r.status, 0);
    for (const char* option : {"--output", "--fps", "--size", "--from", "--to", "--still", "--run-dir",
                               "--overwrite"})
        EXPECT_NE(r.output.find(option), std::string::npos) << option;
}

}  // namespace
