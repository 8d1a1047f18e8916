// The capture tool as a user runs it from a terminal: drawn off-screen with no display at all,
// and stopped with Ctrl+C (SIGINT to the whole foreground process group, as the terminal sends
// it), also when xvfb-run wraps it and its X server dies of the same Ctrl+C.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "PngWriter.h"
#include "RunCommand.h"

namespace {

using capturetest::CommandResult;
using capturetest::runCommand;
using capturetest::shellQuoted;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

off_t fileSize(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

// ffprobe's count of decoded video frames and the sound's duration; -1 where there is none.
struct Probe {
    int videoFrames = -1;
    double soundSeconds = -1;
};
Probe probe(const std::string& file) {
    Probe p;
    const CommandResult v = runCommand("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                       "stream=codec_name,nb_read_frames -of csv=p=0 " + shellQuoted(file));
    if (v.status == 0 && v.output.rfind("h264,", 0) == 0) p.videoFrames = std::atoi(v.output.c_str() + 5);
    const CommandResult a = runCommand("ffprobe -v error -select_streams a:0 -show_entries stream=duration -of csv=p=0 " +
                                       shellQuoted(file));
    if (a.status == 0 && !a.output.empty()) p.soundSeconds = std::atof(a.output.c_str());
    return p;
}

// A command started as a terminal starts a job: in a process group of its own with Ctrl+C's
// signal at its default, stdout and stderr into a pipe the test reads.
class Job {
public:
    explicit Job(const std::vector<std::string>& argv) {
        int fds[2];
        if (pipe(fds) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            setpgid(0, 0);
            signal(SIGINT, SIG_DFL);
            dup2(fds[1], 1);
            dup2(fds[1], 2);
            close(fds[0]);
            close(fds[1]);
            std::vector<char*> args;
            for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        }
        setpgid(pid_, pid_);
        close(fds[1]);
        out_ = fds[0];
    }
    ~Job() {
        if (pid_ > 0 && !reaped_) {
            kill(-pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) close(out_);
    }
    // Reads what the job printed for up to `seconds`; false once every writer has closed the pipe.
    bool read(double seconds) {
        pollfd p{out_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(seconds * 1000)) <= 0) return true;
        char buf[4096];
        const ssize_t n = ::read(out_, buf, sizeof buf);
        if (n <= 0) return false;
        output.append(buf, static_cast<size_t>(n));
        return true;
    }
    // Ctrl+C: SIGINT to every process of the job.
    void interrupt() { kill(-pid_, SIGINT); }
    // Reads until every process that holds the pipe (the job, and what outlives its first
    // process) has ended, then reaps the job's first process: its wait status.
    int finish(double timeoutSeconds) {
        const auto start = Clock::now();
        while (read(1.0) && secondsSince(start) < timeoutSeconds) {
        }
        int status = 0;
        waitpid(pid_, &status, 0);
        reaped_ = true;
        return status;
    }
    std::string output;

private:
    pid_t pid_ = -1;
    int out_ = -1;
    bool reaped_ = false;
};

class CaptureRun : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/capture-run-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { runCommand("rm -rf " + shellQuoted(dir)); }
    std::string dir;
};

// The whole show at 10 fps, stopped once the first frames have reached the video file: status 130
// from the tool, a video that plays with every frame drawn and its sound, and no word of a lost
// X connection.
TEST_F(CaptureRun, CtrlCStopsEarlyWithStatus130AndAPlayableVideo) {
    const struct {
        const char* name;
        std::vector<std::string> wrapper;
    } cases[] = {
        {"in a terminal", {}},
        {"under xvfb-run", {"xvfb-run", "-a", "-s", "-screen 0 640x480x24"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string video = dir + "/" + (c.wrapper.empty() ? "plain" : "xvfb") + ".mp4";
        std::vector<std::string> argv = c.wrapper;
        for (const char* a : {CAPTURE_TOOL, "--run-dir", VX_RUN_DIR, "--fps", "10", "--size", "320x240", "-o"})
            argv.push_back(a);
        argv.push_back(video);
        Job job(argv);
        // Frames are in the file once the encoder has written past the file's first few bytes.
        const auto start = Clock::now();
        while (job.read(0.2) && fileSize(video) < 4096 && secondsSince(start) < 180) {
        }
        ASSERT_GE(fileSize(video), 4096) << "no frames reached the video:\n" << job.output;
        job.interrupt();
        const int status = job.finish(120);
        if (c.wrapper.empty()) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130) << "wait status " << status << "\n" << job.output;
        }
        // (xvfb-run itself dies of the Ctrl+C or reports its lost server; the tool's own ending
        // is in its output.)
        const auto at = job.output.find("stopped after ");
        ASSERT_NE(at, std::string::npos) << job.output;
        const int frames = std::atoi(job.output.c_str() + at + 14);
        EXPECT_GT(frames, 0);
        EXPECT_NE(job.output.find("wrote " + video), std::string::npos) << job.output;
        EXPECT_NE(job.output.find("stopped early"), std::string::npos) << job.output;
        EXPECT_EQ(job.output.find("X connection"), std::string::npos) << job.output;
        const Probe p = probe(video);
        EXPECT_EQ(p.videoFrames, frames) << job.output;
        EXPECT_NEAR(p.soundSeconds, frames / 10.0, 0.05);
    }
}

// With no display, no Wayland and no XDG_RUNTIME_DIR, the tool draws off-screen: a video and a
// still, and nothing printed by the libraries that looked for a display.
TEST_F(CaptureRun, WithoutADisplayItDrawsOffScreen) {
    const std::string video = dir + "/offscreen.mp4", still = dir + "/offscreen.png";
    const CommandResult r = runCommand("env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_RUNTIME_DIR " + shellQuoted(CAPTURE_TOOL) +
                                       " --run-dir " + shellQuoted(VX_RUN_DIR) +
                                       " --fps 4 --from 26000 --to 27000 --size 320x240 -o " + shellQuoted(video) +
                                       " --still 26897=" + shellQuoted(still));
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output.find("XDG_RUNTIME_DIR"), std::string::npos) << r.output;
    EXPECT_EQ(probe(video).videoFrames, 4) << r.output;
    capture::RgbImage image;
    std::string error;
    ASSERT_TRUE(capture::readPng(still, &image, &error)) << error;
    EXPECT_EQ(image.width, 320);
    EXPECT_EQ(image.height, 240);
    std::set<uint32_t> colours;
    for (size_t i = 0; i + 2 < image.pixels.size(); i += 3)
        colours.insert(image.pixels[i] << 16 | image.pixels[i + 1] << 8 | image.pixels[i + 2]);
    EXPECT_GT(colours.size(), 100u) << "the title frame is nearly blank";
}

// Without --run-dir the tool finds the content as the program does: here beside a copy of the
// tool, in the run directory of its build; with none there it says where it looked.
TEST_F(CaptureRun, WithoutRunDirTheContentIsFoundBesideTheTool) {
    const std::string bin = dir + "/build/bin", cwd = dir + "/elsewhere";
    ASSERT_EQ(runCommand("mkdir -p " + shellQuoted(bin) + " " + shellQuoted(cwd) + " && cp " + shellQuoted(CAPTURE_TOOL) +
                         " " + shellQuoted(bin)).status, 0);
    const std::string command = "cd " + shellQuoted(cwd) + " && env -u DISPLAY " + shellQuoted(bin + "/vorthalimex-capture") +
                                " --size 320x240 --still 5000=still.png";
    const CommandResult missing = runCommand(command);
    EXPECT_EQ(missing.status, 1) << missing.output;
    for (const std::string& place : {cwd + "  (the working directory)", dir + "/build/run  (", dir + "/build/share/vorthalimex  ("})
        EXPECT_NE(missing.output.find(place), std::string::npos) << place << "\n" << missing.output;
    EXPECT_NE(missing.output.find("--run-dir"), std::string::npos) << missing.output;
    EXPECT_NE(access((cwd + "/still.png").c_str(), F_OK), 0);

    ASSERT_EQ(runCommand("mkdir " + shellQuoted(dir + "/build/run") + " && ln -s " + shellQuoted(std::string(VX_RUN_DIR) + "/data") +
                         " " + shellQuoted(std::string(VX_RUN_DIR) + "/blow.job") + " " + shellQuoted(dir + "/build/run")).status, 0);
    const CommandResult found = runCommand(command);
    EXPECT_EQ(found.status, 0) << found.output;
    EXPECT_EQ(access((cwd + "/still.png").c_str(), F_OK), 0) << found.output;
}

}  // namespace
