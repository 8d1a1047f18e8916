// The capture tool refuses bad command lines and missing tools before it draws anything.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "RunCommand.h"

namespace {

using capturetest::shellQuoted;
using capturetest::runCommand;

TEST(CaptureCli, BadArgumentsAndMissingToolsEndWithAMessageAndAFailureStatus) {
    const std::string tool = shellQuoted(CAPTURE_TOOL);
    const std::string out = shellQuoted(testing::TempDir() + "capture-cli.mp4");
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
    };
    for (const auto& c : cases) {
        const capturetest::CommandResult r = runCommand(c.command);
        EXPECT_EQ(r.status, c.status) << c.command << "\n" << r.output;
        EXPECT_NE(r.output.find(c.message), std::string::npos) << c.command << "\n" << r.output;
    }
}

// Names that do not say MP4 or PNG, and still times outside the show, are refused at once with
// status 2, before anything is drawn or written.
TEST(CaptureCli, WrongNamesAndStillTimesAreRefusedBeforeAnythingIsWritten) {
    char pattern[] = "/tmp/capture-cli-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    const std::string tool = "cd " + shellQuoted(dir) + " && " + shellQuoted(CAPTURE_TOOL) + " --run-dir " +
                             shellQuoted(VX_RUN_DIR);
    const struct {
        const char* args;
        const char* message;
    } cases[] = {
        {"-o x.gif", "vorthalimex-capture: option --output: 'x.gif' does not end in .mp4"},
        {"-o x.avi", "vorthalimex-capture: option --output: 'x.avi' does not end in .mp4"},
        {"-f avi -o x.avi", "vorthalimex-capture: option -f: 'avi' is not a format the capture writes (mp4)"},
        {"--still 30000=t.jpg", "vorthalimex-capture: option --still: 't.jpg' does not end in .png"},
        {"--still 999999", "vorthalimex-capture: option --still: 999999 ms is outside the show (0 to 251586 ms)"},
        {"--still -5", "vorthalimex-capture: option --still: -5 ms is outside the show (0 to 251586 ms)"},
    };
    for (const auto& c : cases) {
        const capturetest::CommandResult r = runCommand(tool + " " + c.args);
        EXPECT_EQ(r.status, 2) << c.args << "\n" << r.output;
        EXPECT_NE(r.output.find(c.message), std::string::npos) << c.args << "\n" << r.output;
        EXPECT_EQ(r.output.find("frame"), std::string::npos) << "nothing drawn: " << r.output;
    }
    for (const char* name : {"x.gif", "x.avi", "t.jpg", "still-999999.png", "still--5.png"})
        EXPECT_NE(access((dir + "/" + name).c_str(), F_OK), 0) << name << " was written";
    rmdir(dir.c_str());
}

TEST(CaptureCli, HelpNamesEveryOption) {
    const capturetest::CommandResult r = runCommand(shellQuoted(CAPTURE_TOOL) + " --help");
    EXPECT_EQ(r.status, 0);
    for (const char* option : {"--output", "--format", "--fps", "--size", "--from", "--to", "--still", "--run-dir",
                               "--overwrite", "--faithful"})
        EXPECT_NE(r.output.find(option), std::string::npos) << option;
}

}  // namespace
