#pragma once
// The capture tool's command line: what to render, at which rate and size, and where to put it.
#include <string>
#include <vector>

namespace capture {

// One still picture: the frame drawn at music time ms, written as a PNG file.
struct StillRequest {
    int ms = 0;
    std::string path;
};

struct CaptureOptions {
    int fps = 60;
    int width = 640;
    int height = 480;
    int fromMs = 400;       // first music time of the video (the show's first frame by default)
    int toMs = -1;          // end of the video, exclusive; -1: the end of the show
    std::string output;     // the MP4 file; empty: stills only
    std::vector<StillRequest> stills;
    std::string runDir;        // the directory holding data/ and blow.job; empty: looked for as the
                               // program does (the current one, else beside the tool)
    bool overwrite = false;    // replace existing output files
    bool faithful = false;     // draw on the reference GL 1.1 path (else the start-up choice)
    bool help = false;
};

// Parses the arguments after the program name. On failure returns false with a one-line reason in
// *error (naming the option and the value at fault) and leaves *options partly filled. Without
// --output and --still the video goes to "vorthalimex.mp4". The video's name must end in .mp4
// (any name with -f mp4), a still's in .png; still times lie within the show, 0 to 251,586 ms.
bool parseCaptureOptions(const std::vector<std::string>& args, CaptureOptions* options,
                         std::string* error);

// The --help text.
std::string captureUsage(const std::string& program);

}  // namespace capture
