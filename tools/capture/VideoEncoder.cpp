// The parts of the video encoder that are the same on every system: ffmpeg's command line.
#include "VideoEncoder.h"

#include <cstdio>

namespace capture {

namespace {

std::string seconds(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", value);
    return text;
}

}  // namespace

std::string findOnPath(const char* path, char listSeparator, char folderSeparator, const std::string& file,
                       const std::function<bool(const std::string&)>& accept) {
    const std::string dirs = path ? path : "";
    size_t begin = 0;
    while (begin <= dirs.size()) {
        size_t end = dirs.find(listSeparator, begin);
        if (end == std::string::npos) end = dirs.size();
        const std::string dir = end > begin ? dirs.substr(begin, end - begin) : ".";
        const std::string candidate = dir + folderSeparator + file;
        if (accept(candidate)) return candidate;
        begin = end + 1;
    }
    return std::string();
}

std::vector<std::string> ffmpegArguments(const std::string& program, const VideoSettings& s) {
    const std::string size = std::to_string(s.width) + "x" + std::to_string(s.height);
    return {
        program, "-hide_banner", "-loglevel", "error", "-nostdin", "-y",
        // The picture: raw RGB frames on standard input at the capture's rate.
        "-f", "rawvideo", "-pix_fmt", "rgb24", "-video_size", size,
        "-framerate", std::to_string(s.fps), "-i", "pipe:0",
        // The sound: the soundtrack from the position of the first frame.
        "-ss", seconds(s.soundtrackStart), "-i", s.soundtrack,
        "-map", "0:v:0", "-map", "1:a:0",
        "-c:v", "libx264", "-preset", "veryfast", "-crf", "18", "-pix_fmt", "yuv420p",
        // Silence after the soundtrack's end, so that a short soundtrack never shortens the picture.
        "-af", "apad", "-c:a", "aac", "-b:a", "192k",
        // Exactly the picture's length; -shortest also ends the sound with a capture cut short.
        // An MP4 whatever the file's name says.
        "-t", seconds(s.duration), "-shortest", "-f", "mp4", "-movflags", "+faststart", s.output,
    };
}

VideoEncoder::~VideoEncoder() {
    if (child_ >= 0 || pipe_ >= 0 || stream_) {
        std::string ignored;
        finish(&ignored);
    }
}

}  // namespace capture
