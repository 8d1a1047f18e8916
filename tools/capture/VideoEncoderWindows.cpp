// ffmpeg on Windows: ffmpeg.exe found on PATH, started through the command processor with a pipe
// in binary mode (_wpopen "wb"), so that no byte of a frame is taken for a line end.
#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <filesystem>

#include "VideoEncoder.h"
#include "platform/WindowsText.h"

namespace capture {

namespace {

bool isFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(std::filesystem::u8path(path), ec);
}

}  // namespace

std::string findProgram(const std::string& name) {
    const std::string file = name.size() > 4 && name.compare(name.size() - 4, 4, ".exe") == 0 ? name : name + ".exe";
    if (name.find_first_of("/\\:") != std::string::npos) return isFile(file) ? file : std::string();
    return findOnPath(std::getenv("PATH"), ';', '\\', file, isFile);
}

std::string missingFfmpegMessage() {
    return "ffmpeg.exe was not found on PATH; the video is made with it: put the folder that holds "
           "ffmpeg.exe on PATH, or make stills only with --still";
}

bool VideoEncoder::start(const VideoSettings& settings, std::string* error) {
    const std::string program = findProgram("ffmpeg");
    if (program.empty()) {
        *error = missingFfmpegMessage();
        return false;
    }
    // Every argument in quotes (no Windows name holds one), the whole line in one more pair,
    // which the command processor takes off.
    std::string line = "\"";
    for (const std::string& a : ffmpegArguments(program, settings)) line += (line.size() > 1 ? " \"" : "\"") + a + "\"";
    line += "\"";
    std::fflush(nullptr);
    stream_ = _wpopen(platform::utf16(line).c_str(), L"wb");
    if (!stream_) {
        *error = "cannot start " + program + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool VideoEncoder::writeFrame(const uint8_t* rgb, size_t size, std::string* error) {
    if (!stream_) {
        *error = "the video encoder is not running";
        return false;
    }
    if (std::fwrite(rgb, 1, size, stream_) != size) {
        *error = errno == EPIPE || errno == EINVAL ? std::string("ffmpeg stopped taking frames")
                                                   : std::string("cannot write to ffmpeg: ") + std::strerror(errno);
        return false;
    }
    return true;
}

bool VideoEncoder::finish(std::string* error) {
    if (!stream_) {
        *error = "the video encoder is not running";
        return false;
    }
    const int status = _pclose(stream_);
    stream_ = nullptr;
    if (status != 0) {
        *error = status < 0 ? std::string("cannot wait for ffmpeg: ") + std::strerror(errno)
                            : "ffmpeg ended with status " + std::to_string(status);
        return false;
    }
    return true;
}

}  // namespace capture
