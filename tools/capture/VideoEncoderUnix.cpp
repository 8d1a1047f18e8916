// ffmpeg on Unix: found on PATH, started with posix_spawn in a process group of its own.
#include "VideoEncoder.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace capture {

namespace {

bool isExecutableFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string describeStatus(int status) {
    if (WIFEXITED(status)) return "ffmpeg ended with status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return "ffmpeg was stopped by signal " + std::to_string(WTERMSIG(status));
    return "ffmpeg ended abnormally";
}

}  // namespace

std::string findProgram(const std::string& name) {
    if (name.find('/') != std::string::npos) return isExecutableFile(name) ? name : std::string();
    return findOnPath(std::getenv("PATH"), ':', '/', name, isExecutableFile);
}

std::string missingFfmpegMessage() {
    return "the ffmpeg program was not found on PATH; the video is made with it: install the "
           "Debian package ffmpeg (sudo apt-get install ffmpeg), or make stills only with --still";
}

bool VideoEncoder::start(const VideoSettings& settings, std::string* error) {
    const std::string program = findProgram("ffmpeg");
    if (program.empty()) {
        *error = missingFfmpegMessage();
        return false;
    }
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        *error = std::string("cannot make a pipe to ffmpeg: ") + std::strerror(errno);
        return false;
    }
#ifdef F_SETPIPE_SZ
    // Linux: a pipe of up to 1 MiB (the most /proc/sys/fs/pipe-max-size lets a user ask for by
    // default), so that a frame goes over in one or a few writes and ffmpeg reads it in large
    // pieces: through the 64 KiB pipe a 640x480 frame took some 15 writes, each waking ffmpeg.
    // The size is only a speed matter: where it is refused the pipe stays as it was.
    const long frameBytes = static_cast<long>(settings.width) * settings.height * 3;
    for (long size = std::min(frameBytes, 1L << 20); size > 65536; size /= 2)
        if (fcntl(fds[1], F_SETPIPE_SZ, static_cast<int>(size)) >= 0) break;
#endif
    // A write to an ffmpeg that has gone must fail with EPIPE, not kill the capture.
    signal(SIGPIPE, SIG_IGN);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
    const std::vector<std::string> args = ffmpegArguments(program, settings);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    // In a process group of its own, so that Ctrl+C on the terminal stops the capture, which then
    // closes the pipe and lets ffmpeg finish a playable file of the frames so far.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[0]);
    if (rc != 0) {
        close(fds[1]);
        *error = "cannot start " + program + ": " + std::strerror(rc);
        return false;
    }
    child_ = pid;
    pipe_ = fds[1];
    return true;
}

bool VideoEncoder::writeFrame(const uint8_t* rgb, size_t size, std::string* error) {
    if (pipe_ < 0) {
        *error = "the video encoder is not running";
        return false;
    }
    while (size > 0) {
        const ssize_t n = write(pipe_, rgb, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            *error = errno == EPIPE ? std::string("ffmpeg stopped taking frames")
                                    : std::string("cannot write to ffmpeg: ") + std::strerror(errno);
            return false;
        }
        rgb += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool VideoEncoder::finish(std::string* error) {
    if (pipe_ >= 0) {
        close(pipe_);
        pipe_ = -1;
    }
    if (child_ < 0) {
        *error = "the video encoder is not running";
        return false;
    }
    int status = 0;
    pid_t r;
    do {
        r = waitpid(child_, &status, 0);
    } while (r < 0 && errno == EINTR);
    child_ = -1;
    if (r < 0) {
        *error = std::string("cannot wait for ffmpeg: ") + std::strerror(errno);
        return false;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        *error = describeStatus(status);
        return false;
    }
    return true;
}

}  // namespace capture
