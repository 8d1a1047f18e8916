#include "CaptureOptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using capture::CaptureOptions;
using capture::parseCaptureOptions;

CaptureOptions parseOk(const std::vector<std::string>& args) {
    CaptureOptions options;
    std::string error;
    EXPECT_TRUE(parseCaptureOptions(args, &options, &error)) << error;
    return options;
}

TEST(CaptureOptions, DefaultsCaptureTheWholeShowAt60FpsInto640x480) {
    const CaptureOptions o = parseOk({});
    EXPECT_EQ(o.fps, 60);
    EXPECT_EQ(o.width, 640);
    EXPECT_EQ(o.height, 480);
    EXPECT_EQ(o.fromMs, 400);
    EXPECT_EQ(o.toMs, -1);
    EXPECT_EQ(o.output, "vorthalimex.mp4");
    EXPECT_TRUE(o.stills.empty());
    EXPECT_FALSE(o.overwrite);
}

TEST(CaptureOptions, ReadsEveryOptionInBothSpellings) {
    const CaptureOptions o = parseOk({"--fps=25", "--size", "800x600", "--from", "1000", "--to=5000", "-o",
                                      "a.mp4", "--still", "250", "--still=7000=title.png", "--run-dir",
                                      "run", "-y", "--faithful"});
    EXPECT_EQ(o.fps, 25);
    EXPECT_EQ(o.width, 800);
    EXPECT_EQ(o.height, 600);
    EXPECT_EQ(o.fromMs, 1000);
    EXPECT_EQ(o.toMs, 5000);
    EXPECT_EQ(o.output, "a.mp4");
    ASSERT_EQ(o.stills.size(), 2u);
    EXPECT_EQ(o.stills[0].ms, 250);
    EXPECT_EQ(o.stills[0].path, "still-250.png");
    EXPECT_EQ(o.stills[1].ms, 7000);
    EXPECT_EQ(o.stills[1].path, "title.png");
    EXPECT_EQ(o.runDir, "run");
    EXPECT_TRUE(o.overwrite);
    EXPECT_TRUE(o.faithful);
    EXPECT_FALSE(parseOk({}).faithful);
}

// The video is an MP4 and stills are PNGs: names say so (in any case), or -f mp4 vouches for the
// video's; still times cover the show from 0 to its last millisecond, 251,586.
TEST(CaptureOptions, NamesAndStillTimesThatAreAccepted) {
    const struct {
        std::vector<std::string> args;
        const char* output;
        const char* still;
        int ms;
    } cases[] = {
        {{"-o", "show.MP4"}, "show.MP4", nullptr, 0},
        {{"-f", "mp4", "-o", "show.avi"}, "show.avi", nullptr, 0},
        {{"--format=mp4", "-o", "show"}, "show", nullptr, 0},
        {{"--still", "0"}, "", "still-0.png", 0},
        {{"--still", "251586=last.PNG"}, "", "last.PNG", 251586},
        {{"--still", "399=a/b.png"}, "", "a/b.png", 399},
    };
    for (const auto& c : cases) {
        const CaptureOptions o = parseOk(c.args);
        EXPECT_EQ(o.output, c.output) << c.args.back();
        if (c.still) {
            ASSERT_EQ(o.stills.size(), 1u) << c.args.back();
            EXPECT_EQ(o.stills[0].path, c.still);
            EXPECT_EQ(o.stills[0].ms, c.ms);
        }
    }
}

TEST(CaptureOptions, StillsAloneMakeNoVideoAndMayHaveAnOddSizeOrAnyTime) {
    const CaptureOptions o = parseOk({"--still", "123", "--size", "333x201"});
    EXPECT_TRUE(o.output.empty());
    EXPECT_EQ(o.width, 333);
}

TEST(CaptureOptions, HelpStopsParsingChecks) {
    EXPECT_TRUE(parseOk({"--from", "5", "--help"}).help);
}

TEST(CaptureOptions, BadArgumentsAreRefusedWithTheReason) {
    const struct {
        std::vector<std::string> args;
        const char* expected;
    } cases[] = {
        {{"--fps", "-5"}, "option --fps: -5 is out of range"},
        {{"--fps", "0"}, "option --fps: 0 is out of range"},
        {{"--fps", "1001"}, "option --fps: 1001 is out of range"},
        {{"--fps", "29.97"}, "option --fps: '29.97' is not a whole number"},
        {{"--fps"}, "option --fps needs a value"},
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"stray"}, "unexpected argument 'stray'"},
        {{"--size", "640"}, "option --size: '640' is not WIDTHxHEIGHT"},
        {{"--size", "640x"}, "option --size: '640x' is not WIDTHxHEIGHT"},
        {{"--size", "8x8"}, "option --size: 8x8 is out of range"},
        {{"--size", "641x480"}, "the video needs an even width and height"},
        {{"--from", "399"}, "option --from: 399 is before the show's first frame (400 ms)"},
        {{"--from", "251587"}, "option --from: 251587 is at or after the end of the show"},
        {{"--from", "5000", "--to", "5000"}, "the time range 5000 to 5000 ms is empty"},
        {{"--to", "99999999999"}, "option --to: '99999999999' is not a music time"},
        {{"--still", "abc"}, "option --still: 'abc' is not a music time"},
        {{"--still", "5="}, "option --still: no file name after '='"},
        {{"--output", ""}, "option --output needs a file name"},
        {{"--overwrite=yes"}, "option --overwrite takes no value"},
        {{"--faithful=1"}, "option --faithful takes no value"},
        {{"-o", "x.gif"}, "option --output: 'x.gif' does not end in .mp4; the video is an H.264 MP4, and -f mp4"},
        {{"-o", "x.avi"}, "option --output: 'x.avi' does not end in .mp4"},
        {{"-o", "mp4"}, "option --output: 'mp4' does not end in .mp4"},
        {{"--still", "5000", "-o", "x.mkv"}, "option --output: 'x.mkv' does not end in .mp4"},
        {{"-f", "avi", "-o", "x.avi"}, "option -f: 'avi' is not a format the capture writes (mp4)"},
        {{"--format", "MP4"}, "option --format: 'MP4' is not a format"},
        {{"-f"}, "option -f needs a value"},
        {{"--still", "30000=t.jpg"}, "option --still: 't.jpg' does not end in .png; stills are PNG pictures"},
        {{"--still", "30000=png"}, "option --still: 'png' does not end in .png"},
        {{"--still", "999999"}, "option --still: 999999 ms is outside the show (0 to 251586 ms)"},
        {{"--still", "251587=end.png"}, "option --still: 251587 ms is outside the show (0 to 251586 ms)"},
        {{"--still", "-5"}, "option --still: -5 ms is outside the show (0 to 251586 ms)"},
        {{"--still", "-1=a.png"}, "option --still: -1 ms is outside the show"},
    };
    for (const auto& c : cases) {
        CaptureOptions options;
        std::string error;
        EXPECT_FALSE(parseCaptureOptions(c.args, &options, &error)) << c.args[0];
        EXPECT_NE(error.find(c.expected), std::string::npos) << "got: " << error;
    }
}

}  // namespace
