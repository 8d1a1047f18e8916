// The real program on its own virtual X display, driven with real key events (xdotool), its
// fatal reports dismissed with a key press as a user would, and its sound written to a file by
// SDL's disk driver (which also tells when the music, and so the clocked loop, has started).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "music/TestMp3.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const char* const title = "qel - vorthalimex | the halcyrne, part 1";

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

int msSince(Clock::time_point t) {
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

std::string shell(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[512];
        while (std::fgets(buf, sizeof buf, p)) out += buf;
        pclose(p);
    }
    return out;
}

// An Xvfb server with one screen of the given size, on a display number it picks itself.
class VirtualDisplay {
public:
    VirtualDisplay(int width, int height) {
        int fds[2];
        if (pipe(fds) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            const std::string fd = std::to_string(fds[1]);
            const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        char c = 0;
        while (poll(&p, 1, 20000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        if (!number.empty()) display_ = ":" + number;
    }
    ~VirtualDisplay() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& name() const { return display_; }

    struct Window {
        std::string id;
        int x = 0, y = 0, width = 0, height = 0;
    };
    // The top-level window of that name, if it is mapped.
    std::optional<Window> window(const std::string& name) const {
        std::istringstream in(shell("xwininfo -display " + display_ + " -name '" + name + "' 2>/dev/null"));
        Window w;
        std::string line;
        bool viewable = false;
        while (std::getline(in, line)) {
            const auto value = [&line](const char* key) -> const char* {
                const auto at = line.find(key);
                return at == std::string::npos ? nullptr : line.c_str() + at + std::strlen(key);
            };
            if (const char* v = value("Window id: ")) w.id = std::string(v).substr(0, std::string(v).find(' '));
            if (const char* v = value("Absolute upper-left X:")) w.x = std::atoi(v);
            if (const char* v = value("Absolute upper-left Y:")) w.y = std::atoi(v);
            if (const char* v = value("Width:")) w.width = std::atoi(v);
            if (const char* v = value("Height:")) w.height = std::atoi(v);
            if (line.find("IsViewable") != std::string::npos) viewable = true;
        }
        if (w.id.empty() || !viewable) return std::nullopt;
        return w;
    }
    // Focuses the window and types the keys (xdotool key names, e.g. "KP_Add", "alt+Return").
    void keys(const std::string& windowId, const std::string& keys) const {
        shell("DISPLAY=" + display_ + " xdotool windowfocus " + windowId + " key --delay 15 " + keys + " 2>/dev/null");
    }

private:
    pid_t pid_ = -1;
    std::string display_;
};

// The program, started in a run directory on a display with the given arguments; collects its
// stderr, and writes its stdout to stdoutFile when one is named.
class Show {
public:
    Show(const VirtualDisplay& display, const std::string& runDir, const std::string& soundFile,
         const std::vector<std::string>& args = {}, const std::string& stdoutFile = "")
        : display_(display) {
        std::vector<char*> argv{const_cast<char*>(VX_PROGRAM)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        int fds[2];
        if (pipe(fds) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            dup2(fds[1], 2);
            if (!stdoutFile.empty()) {
                const int out = open(stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                if (out < 0) _exit(126);
                dup2(out, 1);
            }
            if (chdir(runDir.c_str()) != 0) _exit(126);
            setenv("DISPLAY", display.name().c_str(), 1);
            setenv("SDL_AUDIODRIVER", "disk", 1);
            setenv("SDL_DISKAUDIOFILE", soundFile.c_str(), 1);
            unsetenv("VX_MESSAGE_BOX");
            execv(VX_PROGRAM, argv.data());
            _exit(127);
        }
        close(fds[1]);
        err_ = fds[0];
        fcntl(err_, F_SETFL, O_NONBLOCK);
    }
    ~Show() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (err_ >= 0) close(err_);
    }

    // Reads what the program wrote, and dismisses with Return each fatal report's box it finds
    // (each "Error: ..." line on stderr announces one).
    void serve() {
        char buf[1024];
        ssize_t n;
        while (err_ >= 0 && (n = read(err_, buf, sizeof buf)) > 0) stderr_.append(buf, static_cast<std::size_t>(n));
        std::size_t at;
        while ((at = stderr_.find('\n', scanned_)) != std::string::npos) {
            const std::string line = stderr_.substr(scanned_, at - scanned_);
            scanned_ = at + 1;
            if (line.rfind("Error: ", 0) == 0) {
                errors.push_back(line.substr(7));
                dismissBox();
            }
        }
    }

    // Waits up to timeoutMs for the program to end; its exit status, or -1 while it runs.
    int waitExit(int timeoutMs) {
        const auto start = Clock::now();
        do {
            serve();
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                serve();
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            sleepMs(10);
        } while (msSince(start) < timeoutMs);
        return -1;
    }

    // Waits until the condition holds, serving the program meanwhile; false on timeout or exit.
    template <typename Condition>
    bool waitFor(Condition condition, int timeoutMs) {
        const auto start = Clock::now();
        while (msSince(start) < timeoutMs) {
            serve();
            if (condition()) return true;
            if (waitExit(0) != -1) return false;
            sleepMs(20);
        }
        return false;
    }

    bool alive() { return waitExit(0) == -1; }
    const std::string& stderrText() const { return stderr_; }
    std::vector<std::string> errors;
    int boxesDismissed = 0;

private:
    void dismissBox() {
        std::optional<VirtualDisplay::Window> box;
        const auto start = Clock::now();
        while (!(box = display_.window("Error")) && msSince(start) < 10000) sleepMs(20);
        if (!box) return;
        // The box is modal: it waits for the user.
        sleepMs(300);
        if (!display_.window("Error")) return;
        display_.keys(box->id, "Return");
        while (display_.window("Error") && msSince(start) < 20000) sleepMs(20);
        ++boxesDismissed;
    }

    const VirtualDisplay& display_;
    pid_t pid_ = -1;
    int err_ = -1;
    bool exited_ = false;
    std::string stderr_;
    std::size_t scanned_ = 0;
};

bool soundStarted(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::istreambuf_iterator<char> it(in), end;
    for (; it != end; ++it)
        if (*it != 0) return true;
    return false;
}

// A run directory holding the build's content with a short soundtrack made here (or none).
class RunDir {
public:
    explicit RunDir(bool withMusic, double musicSeconds = 6.0) {
        const fs::path source = VX_RUN_DIR;
        fs::create_directories(fs::path(dir_.path()) / "data");
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(source, ignored)) {
            if (entry.path().filename() == "data") continue;
            fs::create_symlink(entry.path(), fs::path(dir_.path()) / entry.path().filename());
        }
        for (const auto& entry : fs::directory_iterator(source / "data", ignored)) {
            if (entry.path().filename() == "Vorthalimex.mp3") continue;
            fs::create_symlink(entry.path(), fs::path(dir_.path()) / "data" / entry.path().filename());
        }
        if (withMusic) ok_ = testsupport::writeMp3(music(), testsupport::chirpSignal(musicSeconds));
    }
    const std::string& path() const { return dir_.path(); }
    std::string sound() const { return dir_.file("sound.raw"); }
    std::string music() const { return dir_.file("data/Vorthalimex.mp3"); }
    bool ok() const { return ok_; }

private:
    testsupport::TempDir dir_;
    bool ok_ = true;
};

constexpr int startTimeoutMs = 90000;  // loading the content on a busy machine

TEST(EndToEnd, OpensFullScreenOrFallsBackAndEscapeEndsTheShow) {
    struct Case {
        int screenWidth, screenHeight;
        int width, height;  // the window: full screen at 640 x 480 or 1280 x 960, else a 640 x 480 window
    };
    const Case cases[] = {{640, 480, 640, 480}, {1280, 960, 1280, 960}, {1280, 1024, 640, 480}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.screenWidth) + "x" + std::to_string(c.screenHeight) + " screen");
        VirtualDisplay display(c.screenWidth, c.screenHeight);
        ASSERT_FALSE(display.name().empty()) << "Xvfb did not start";
        RunDir run(true);
        ASSERT_TRUE(run.ok());
        Show show(display, run.path(), run.sound());
        ASSERT_TRUE(show.waitFor([&] { return soundStarted(run.sound()); }, startTimeoutMs))
            << "the music never started; stderr:\n" << show.stderrText();
        const auto window = display.window(title);
        ASSERT_TRUE(window);
        EXPECT_EQ(window->x, 0);
        EXPECT_EQ(window->y, 0);
        EXPECT_EQ(window->width, c.width);
        EXPECT_EQ(window->height, c.height);

        display.keys(window->id, "Escape");
        const auto pressed = Clock::now();
        EXPECT_EQ(show.waitExit(10000), 0);
        // The goal is well under a second (one frame, the 21 ms fade, the release); the bound
        // leaves room for a machine busy with other tests and catches a show that ignores the key.
        EXPECT_LE(msSince(pressed), 3000) << "Escape ends the show at once";
        EXPECT_TRUE(show.errors.empty()) << show.stderrText();
    }
}

// One press of keypad plus moves the soundtrack: the sound written after it continues the stream
// about 5,733 ms further on (the 5,333 ms step, plus the clock's 400 ms lead over the music).
// No seek, a double one or a step back would land far outside that.
TEST(EndToEnd, KeypadPlusSeeksTheSoundtrack) {
    VirtualDisplay display(640, 480);
    ASSERT_FALSE(display.name().empty());
    RunDir run(true, 12.0);
    Show show(display, run.path(), run.sound());
    ASSERT_TRUE(show.waitFor([&] { return soundStarted(run.sound()); }, startTimeoutMs)) << show.stderrText();
    const auto window = display.window(title);
    ASSERT_TRUE(window);
    sleepMs(800);
    display.keys(window->id, "KP_Add");
    // On a busy machine the disk driver falls behind the clock: wait for two seconds of sound
    // written after the loop has seen the key.
    sleepMs(500);
    const auto written = [&] { return fs::exists(run.sound()) ? fs::file_size(run.sound()) : 0; };
    const std::uintmax_t atKey = written();
    ASSERT_TRUE(show.waitFor([&] { return written() >= atKey + 2 * 176400; }, 30000));
    display.keys(window->id, "Escape");
    ASSERT_EQ(show.waitExit(10000), 0);
    EXPECT_TRUE(show.errors.empty()) << show.stderrText();

    const std::vector<std::int16_t> reference = testsupport::decodeMp3(run.music());
    ASSERT_FALSE(reference.empty());
    const std::vector<std::int16_t> out = testsupport::readSamples(run.sound());
    const auto same = [&](std::size_t i, std::size_t j) {
        return out[2 * i] == reference[2 * j] && out[2 * i + 1] == reference[2 * j + 1];
    };
    const std::size_t frames = out.size() / 2, length = reference.size() / 2;
    std::size_t start = 0, first = 0, played = 0;
    while (start < frames && out[2 * start] == 0 && out[2 * start + 1] == 0) ++start;
    while (reference[2 * first] == 0 && reference[2 * first + 1] == 0) ++first;
    while (start + played < frames && first + played < length && same(start + played, first + played)) ++played;
    ASSERT_GT(played, 44100u / 2) << "the music played from its start until the key";
    const std::size_t cut = start + played, span = 2048;
    ASSERT_LT(cut + span, frames);
    std::size_t landed = 0;
    for (std::size_t candidate = 0; candidate + span < length && !landed; ++candidate) {
        std::size_t j = 0;
        while (j < span && same(cut + j, candidate + j)) ++j;
        if (j == span) landed = candidate;
    }
    ASSERT_NE(landed, 0u) << "the sound after the key is not the stream";
    const double jumpMs = (static_cast<double>(landed) - static_cast<double>(first + played)) / 44.1;
    // The disk driver writes slower than real time (it sleeps a whole buffer's length after each
    // write, and longer when the machine is busy), so by the key the sound lags the tick clock:
    // the jump comes out longer than 5,733 ms, never shorter, and far from a double step.
    EXPECT_GE(jumpMs, 5733.0 - 50.0);
    EXPECT_LE(jumpMs, 5733.0 + 3000.0);
}

TEST(EndToEnd, MissingMusicIsReportedAndTheShowStillRuns) {
    VirtualDisplay display(640, 480);
    ASSERT_FALSE(display.name().empty());
    RunDir run(false);
    Show show(display, run.path(), run.sound());
    ASSERT_TRUE(show.waitFor([&] { return show.boxesDismissed > 0; }, startTimeoutMs)) << show.stderrText();
    EXPECT_EQ(show.errors, std::vector<std::string>{"Cannot load the music"});
    // After the box: the second of pumped messages, then the (silent) loop, until Escape.
    sleepMs(2000);
    ASSERT_TRUE(show.alive());
    const auto window = display.window(title);
    ASSERT_TRUE(window);
    display.keys(window->id, "Escape");
    EXPECT_EQ(show.waitExit(10000), 0);
    EXPECT_FALSE(soundStarted(run.sound()));
}

// On a 1280 x 960 screen the show runs full screen at that size; Alt+Enter turns it into the
// 640 x 480 window it was created as, and back. Keys still arrive after each switch.
TEST(EndToEnd, AltEnterTogglesBetweenFullScreenAndTheWindow) {
    VirtualDisplay display(1280, 960);
    ASSERT_FALSE(display.name().empty());
    RunDir run(true);
    Show show(display, run.path(), run.sound());
    ASSERT_TRUE(show.waitFor([&] { return soundStarted(run.sound()); }, startTimeoutMs)) << show.stderrText();
    const auto window = display.window(title);
    ASSERT_TRUE(window);
    const auto sizeBecomes = [&](int width, int height) {
        return show.waitFor([&] {
            const auto w = display.window(title);
            return w && w->x == 0 && w->y == 0 && w->width == width && w->height == height;
        }, 10000);
    };
    EXPECT_TRUE(sizeBecomes(1280, 960));
    display.keys(window->id, "alt+Return");
    EXPECT_TRUE(sizeBecomes(640, 480)) << "windowed after Alt+Enter";
    display.keys(window->id, "alt+Return");
    EXPECT_TRUE(sizeBecomes(1280, 960)) << "full screen again";
    EXPECT_TRUE(show.alive());
    display.keys(window->id, "Escape");
    EXPECT_EQ(show.waitExit(10000), 0);
    EXPECT_TRUE(show.errors.empty()) << show.stderrText();
}

// The timedemo's summary line, its figures read back.
struct TimedemoSummary {
    bool stopped = false;
    long frames = -1;
    double seconds = -1, fps = -1, median = -1, p99 = -1, worst = -1;
    std::string path, renderer;
};
std::optional<TimedemoSummary> parseSummary(const std::string& text) {
    TimedemoSummary s;
    std::string line = text;
    if (!line.empty() && line.back() == '\n') line.pop_back();
    if (line.find('\n') != std::string::npos) return std::nullopt;  // one line, nothing else
    const std::string lead = line.rfind("timedemo: ", 0) == 0 ? "timedemo: " : "stopped early after ";
    if (line.rfind(lead, 0) != 0) return std::nullopt;
    s.stopped = lead != "timedemo: ";
    char path[32] = {};
    int used = 0;
    if (std::sscanf(line.c_str() + lead.size(),
                    "%ld frames in %lf s, %lf fps average; frame ms median %lf, p99 %lf, worst %lf; %31s path; "
                    "GL renderer %n",
                    &s.frames, &s.seconds, &s.fps, &s.median, &s.p99, &s.worst, path, &used) != 7 ||
        used == 0)
        return std::nullopt;
    s.path = path;
    s.renderer = line.substr(lead.size() + static_cast<std::size_t>(used));
    return s;
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A short stretch on both paths: every frame of the plan drawn, without sound, one summary line
// whose figures agree with each other, progress on stderr, exit status 0.
TEST(EndToEnd, TimedemoDrawsTheStretchSilentlyAndSumsItUp) {
    struct Case {
        std::vector<std::string> args;
        long frames;
        const char* path;
    };
    const Case cases[] = {
        // 60000 .. 61983 ms at 30 fps: frames 1788 .. 1847.
        {{"--timedemo", "--fps", "30", "--from", "60000", "--to", "62000"}, 60, "fast"},
        // 400, 1400, 2400.
        {{"--timedemo", "--fps=1", "--to=3000", "--faithful"}, 3, "faithful"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back());
        VirtualDisplay display(640, 480);
        ASSERT_FALSE(display.name().empty());
        RunDir run(true);
        const std::string out = run.path() + "/summary.txt";
        Show show(display, run.path(), run.sound(), c.args, out);
        ASSERT_EQ(show.waitExit(startTimeoutMs), 0) << show.stderrText();
        EXPECT_TRUE(show.errors.empty()) << show.stderrText();
        EXPECT_FALSE(soundStarted(run.sound())) << "the timedemo plays no sound";

        const std::string text = readText(out);
        const std::optional<TimedemoSummary> s = parseSummary(text);
        ASSERT_TRUE(s) << "summary: " << text;
        EXPECT_FALSE(s->stopped);
        EXPECT_EQ(s->frames, c.frames);
        EXPECT_GT(s->seconds, 0);
        EXPECT_NEAR(s->fps, s->frames / s->seconds, 0.01 + 0.01 * s->fps);
        EXPECT_GT(s->median, 0);
        EXPECT_LE(s->median, s->p99);
        EXPECT_LE(s->p99, s->worst);
        EXPECT_LE(s->worst, s->seconds * 1000 + 0.05);
        EXPECT_EQ(s->path, c.path);
        EXPECT_FALSE(s->renderer.empty());
        const std::string last = "frame " + std::to_string(c.frames) + "/" + std::to_string(c.frames) + "  music ";
        EXPECT_NE(show.stderrText().find(last), std::string::npos) << show.stderrText();
    }
}

// Escape ends a whole-show timedemo early, still with exit status 0 and the summary of what it drew.
TEST(EndToEnd, EscapeStopsTheTimedemoWithTheSummarySoFar) {
    VirtualDisplay display(640, 480);
    ASSERT_FALSE(display.name().empty());
    RunDir run(true);
    const std::string out = run.path() + "/summary.txt";
    Show show(display, run.path(), run.sound(), {"--timedemo"}, out);
    // The first progress line comes after some seconds of drawing.
    ASSERT_TRUE(show.waitFor([&] { return show.stderrText().find("frame ") != std::string::npos; }, startTimeoutMs))
        << show.stderrText();
    const auto window = display.window(title);
    ASSERT_TRUE(window);
    display.keys(window->id, "Escape");
    ASSERT_EQ(show.waitExit(10000), 0) << show.stderrText();
    const std::string text = readText(out);
    const std::optional<TimedemoSummary> s = parseSummary(text);
    ASSERT_TRUE(s) << "summary: " << text;
    EXPECT_TRUE(s->stopped);
    EXPECT_GT(s->frames, 0);
    EXPECT_LT(s->frames, 15072) << "the whole show at 60 fps is 15,072 frames";
}

}  // namespace

namespace {

TEST(EndToEnd, WithoutADisplayItReportsAndExitsWithFailure) {
    testsupport::TempDir dir;
    const std::string out = shell("cd '" + dir.path() + "' && env -u DISPLAY -u WAYLAND_DISPLAY SDL_AUDIODRIVER=dummy '" +
                                  std::string(VX_PROGRAM) + "' 2>&1; echo \"status $?\"");
    EXPECT_NE(out.find("Error: cannot create window (no display"), std::string::npos) << out;
    EXPECT_NE(out.find("status 1"), std::string::npos) << out;
    EXPECT_EQ(out.find("data\\"), std::string::npos) << "nothing loaded without a window:\n" << out;
}

}  // namespace
