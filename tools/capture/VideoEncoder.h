#pragma once
// The video file: raw RGB frames piped into the ffmpeg program, which encodes them as H.264 and
// muxes them with the soundtrack into an MP4.
#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace capture {

struct VideoSettings {
    std::string output;         // the MP4 file (replaced if it exists)
    std::string soundtrack;     // the MP3 muxed under the picture
    double soundtrackStart = 0; // seconds into the soundtrack at which the first frame sits
    double duration = 0;        // seconds of video (frames / fps); the sound is cut to it
    int width = 0;              // even
    int height = 0;             // even
    int fps = 60;
};

// Looks for an executable named name in the directories of PATH (or takes name as it stands
// when it holds a separator; Windows adds ".exe"). Returns its path, or an empty string when
// there is none.
std::string findProgram(const std::string& name);

// The first folder of `path` (a PATH value: folders parted by listSeparator, an empty one meaning
// the current folder) in which `file` passes `accept`, as folder + folderSeparator + file; an
// empty string when there is none. A null or empty `path` holds the current folder only.
std::string findOnPath(const char* path, char listSeparator, char folderSeparator, const std::string& file,
                       const std::function<bool(const std::string&)>& accept);

// What the user should do when ffmpeg is missing.
std::string missingFfmpegMessage();

// The ffmpeg command line (program name first) for the settings.
std::vector<std::string> ffmpegArguments(const std::string& program, const VideoSettings& settings);

class VideoEncoder {
public:
    VideoEncoder() = default;
    ~VideoEncoder();  // a running encoder is closed and waited for, its result ignored
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;

    // Starts ffmpeg (found on PATH) reading frames from a pipe. Returns false with the reason in
    // *error; the caller must not write frames then.
    bool start(const VideoSettings& settings, std::string* error);

    // Hands one frame (width * height * 3 bytes of RGB, rows from the top down) to the encoder.
    // Blocks while ffmpeg is busy. Returns false with the reason in *error once ffmpeg has gone
    // away (it has printed its own complaint on stderr).
    bool writeFrame(const uint8_t* rgb, size_t size, std::string* error);

    // Closes the pipe and waits for ffmpeg to write the file. Returns false with the reason in
    // *error when ffmpeg did not end with status 0.
    bool finish(std::string* error);

private:
    pid_t child_ = -1;              // Unix: ffmpeg's process
    int pipe_ = -1;                 // Unix: the pipe's writing end
    std::FILE* stream_ = nullptr;   // Windows: the pipe to ffmpeg (_wpopen)
};

}  // namespace capture
