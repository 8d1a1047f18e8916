// The program as a user starts it from a terminal, no display needed: the command line, and the
// search for its content from any folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>

#include "music/TestMp3.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string out;  // stdout
    std::string err;  // stderr
};

std::string quoted(const std::string& text) {
    std::string q = "'";
    for (char c : text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string readFile(const std::string& path) {
    std::string text;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
        std::fclose(f);
    }
    return text;
}

// Runs program with the arguments in folder dir, with no display and silent sound.
Outcome run(const std::string& program, const std::string& args, const std::string& dir, const std::string& scratch) {
    const std::string out = scratch + "/out.txt", err = scratch + "/err.txt";
    const std::string command = "cd " + quoted(dir) +
                                " && env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_RUNTIME_DIR -u VX_RENDER_PATH "
                                "SDL_AUDIODRIVER=dummy VX_MESSAGE_BOX=0 timeout 60 " +
                                quoted(program) + " " + args + " >" + quoted(out) + " 2>" + quoted(err);
    Outcome r;
    const int status = std::system(command.c_str());
    if (status != -1 && WIFEXITED(status)) r.status = WEXITSTATUS(status);
    r.out = readFile(out);
    r.err = readFile(err);
    return r;
}

size_t count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST(Program, HelpVersionAndBadCommandLines) {
    testsupport::TempDir dir;
    const struct {
        const char* args;
        int status;
        const char* out;  // expected on stdout ("" for nothing)
        const char* err;  // expected on stderr ("" for nothing)
    } cases[] = {
        {"--help", 0, "Usage: vorthalimex [--faithful]", ""},
        {"-h", 0, "Usage: vorthalimex [--faithful]", ""},
        {"--version", 0, "vorthalimex " VX_VERSION "\n", ""},
        {"--bogus", 2, "", "vorthalimex: unknown option '--bogus' (see vorthalimex --help)\n"},
        {"--help=1", 2, "", "vorthalimex: option '--help' takes no value (see vorthalimex --help)\n"},
        {"play", 2, "", "vorthalimex: unexpected argument 'play' (see vorthalimex --help)\n"},
    };
    for (const auto& c : cases) {
        const Outcome r = run(VX_PROGRAM, c.args, dir.path(), dir.path());
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        if (*c.out) EXPECT_EQ(r.out.rfind(c.out, 0), 0u) << c.args << "\n" << r.out;
        else EXPECT_EQ(r.out, "") << c.args;
        EXPECT_EQ(r.err, c.err) << c.args;
    }
}

// The program copied into a folder of its own: the content is beside it, or nowhere.
class ProgramElsewhere : public ::testing::Test {
protected:
    void SetUp() override {
        root = dir.path();
        fs::create_directories(root / "cwd");
    }
    // Puts a copy of the program at root/relative and returns its path.
    std::string installProgram(const std::string& relative) {
        const fs::path target = root / relative;
        fs::create_directories(target.parent_path());
        fs::copy_file(VX_PROGRAM, target);
        return target.string();
    }
    // Links the build's content (data/ and blow.job) into folder.
    void linkContent(const fs::path& folder) {
        fs::create_directories(folder);
        for (const char* name : {"data", "blow.job"}) fs::create_symlink(fs::path(VX_RUN_DIR) / name, folder / name);
    }
    testsupport::TempDir dir;
    fs::path root;
};

TEST_F(ProgramElsewhere, WithoutContentAnywhereItSaysOnceWhereItLookedAndHowToGetIt) {
    const std::string program = installProgram("b/bin/vorthalimex");
    const Outcome r = run(program, "", (root / "cwd").string(), root.string());
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(count(r.err, "is in none of"), 1u) << r.err;
    for (const fs::path& place : {root / "cwd", root / "b" / "run", root / "b" / "share" / "vorthalimex"})
        EXPECT_NE(r.err.find("  " + place.string() + "  ("), std::string::npos) << place << "\n" << r.err;
    EXPECT_NE(r.err.find("scripts/run"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("content-pack"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Error:"), std::string::npos) << "no report per file:\n" << r.err;
}

// Found beside the program, the content is used: the program gets as far as the window, which
// this display-less test cannot give it; nothing says the content is missing.
TEST_F(ProgramElsewhere, FindsTheContentOfTheBuildOrTheInstallationFromAnyFolder) {
    const struct {
        const char* program;
        const char* content;
    } layouts[] = {
        {"build/bin/vorthalimex", "build/run"},
        {"usr/bin/vorthalimex", "usr/share/vorthalimex"},
        {"unpacked/vorthalimex", "unpacked"},
    };
    for (const auto& layout : layouts) {
        SCOPED_TRACE(layout.program);
        const std::string program = installProgram(layout.program);
        linkContent(root / layout.content);
        const Outcome r = run(program, "", (root / "cwd").string(), root.string());
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find("Error: cannot create window (no display"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("is in none of"), std::string::npos) << r.err;
    }
}

// A data/ folder that is not the show's (a home folder often has one) is passed over: the program
// goes on to the installed content, or, with none, says where it looked and for what.
TEST_F(ProgramElsewhere, AnUnrelatedDataFolderInTheWorkingDirectoryIsPassedOver) {
    const std::string program = installProgram("usr/bin/vorthalimex");
    for (const char* name : {"data/notes.txt", "data/ballo.ob3"}) {
        fs::create_directories((root / "cwd" / name).parent_path());
        std::FILE* f = std::fopen((root / "cwd" / name).c_str(), "wb");
        ASSERT_TRUE(f);
        std::fputs("not the show's\n", f);
        std::fclose(f);
    }
    const Outcome none = run(program, "", (root / "cwd").string(), root.string());
    EXPECT_EQ(none.status, 1) << none.err;
    EXPECT_EQ(none.err.rfind("vorthalimex: the show's content (a folder with blow.job or data/Vorthalimex.mp3 in it) "
                             "is in none of\n  " + (root / "cwd").string() + "  (the working directory)\n", 0),
              0u)
        << none.err;

    linkContent(root / "usr" / "share" / "vorthalimex");
    const Outcome installed = run(program, "", (root / "cwd").string(), root.string());
    EXPECT_EQ(installed.status, 1) << installed.err;
    EXPECT_EQ(installed.err,
              "Error: cannot create window (no display: set DISPLAY, or play on a virtual one with xvfb-run)\n");
}

// Content in the working directory is used where it is, with none beside the program.
TEST_F(ProgramElsewhere, ContentInTheWorkingDirectoryIsUsedAsItIs) {
    const std::string program = installProgram("b/bin/vorthalimex");
    linkContent(root / "cwd");
    const Outcome r = run(program, "", (root / "cwd").string(), root.string());
    EXPECT_NE(r.err.find("Error: cannot create window (no display"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("is in none of"), std::string::npos) << r.err;
}

// With no display, what SDL's video libraries print about the environment while SDL looks for
// one is not the reason the show cannot start: only the program's own report is shown.
TEST(Program, WithoutADisplayOnlyItsOwnReportIsShown) {
    testsupport::TempDir dir;
    const Outcome r = run(VX_PROGRAM, "", VX_RUN_DIR, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error: cannot create window (no display: set DISPLAY, or play on a virtual one with xvfb-run)\n");
}

}  // namespace
