// The contentgen command line: help, errors, and a quick deterministic generation of the
// pictures, meshes and archive.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

struct ToolRun {
    int status = -1;
    std::string output;  // stdout and stderr together
};

// Runs the generator (or the same binary under another path) with the arguments.
ToolRun run(const std::string& arguments, const std::string& binary = CONTENTGEN_PATH) {
    ToolRun r;
    const std::string command = binary + " " + arguments + " 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return r;
    std::array<char, 4096> buffer;
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) r.output.append(buffer.data(), n);
    const int raw = pclose(pipe);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return r;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

class ContentgenCli : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/contentgen-cli-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    std::string dir;
};

TEST_F(ContentgenCli, HelpAndListSucceed) {
    const ToolRun help = run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("Usage: contentgen"), std::string::npos);

    const ToolRun list = run("--list");
    EXPECT_EQ(list.status, 0);
    EXPECT_EQ(std::count(list.output.begin(), list.output.end(), '\n'), 15);
    for (const char* file : {"blow.job\n", "data/Vorthalimex.mp3\n", "data/ballo.ob3\n", "data/stars4.jpg\n"})
        EXPECT_NE(list.output.find(file), std::string::npos) << file;
    EXPECT_EQ(list.output.find("invsphere"), std::string::npos) << "the star sphere lives only in the archive";
}

TEST_F(ContentgenCli, BadCommandLinesFailWithAMessage) {
    struct Case {
        std::string arguments;
        int status;
        const char* says;
    } cases[] = {
        {"", 2, "no run directory"},
        {"--bogus " + dir, 2, "unknown option '--bogus'"},
        {"--only " + dir, 2, "unknown part"},
        {"--only music " + dir, 2, "unknown part 'music'"},
        {"--only", 2, "needs a list"},
        {dir + " " + dir, 2, "more than one run directory"},
    };
    for (const Case& c : cases) {
        const ToolRun r = run(c.arguments);
        EXPECT_EQ(r.status, c.status) << c.arguments;
        EXPECT_NE(r.output.find(c.says), std::string::npos) << c.arguments << ": " << r.output;
    }
}

// Installed, the generator is vorthalimex-contentgen: it speaks under the name it is started as.
TEST_F(ContentgenCli, SpeaksUnderTheNameItIsStartedAs) {
    const std::string installed = dir + "/bin/vorthalimex-contentgen";
    ASSERT_EQ(std::system(("mkdir -p '" + dir + "/bin' && ln -s '" CONTENTGEN_PATH "' '" + installed + "'").c_str()), 0);
    const struct {
        std::string arguments;
        const char* says;
    } cases[] = {
        {"--help", "Usage: vorthalimex-contentgen [options] RUN_DIR\n"},
        {"--bogus", "vorthalimex-contentgen: unknown option '--bogus' (try --help)\n"},
        {"", "vorthalimex-contentgen: no run directory given (try --help)\n"},
    };
    for (const auto& c : cases) {
        const ToolRun r = run(c.arguments, installed);
        EXPECT_EQ(r.output.rfind(c.says, 0), 0u) << c.arguments << ": " << r.output;
    }
}

TEST_F(ContentgenCli, UnwritableRunDirectoryIsReportedByPath) {
    std::ofstream(dir + "/plainfile") << "x";
    const ToolRun r = run("--only meshes " + dir + "/plainfile/run");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find(dir + "/plainfile/run"), std::string::npos) << r.output;
}

TEST_F(ContentgenCli, PicturesMeshesAndArchiveAreTheSameOnEveryRun) {
    const ToolRun first = run("--only textures,meshes " + dir + "/deep/a");  // parents made too
    const ToolRun second = run("--only textures,meshes -q " + dir + "/b");
    ASSERT_EQ(first.status, 0) << first.output;
    ASSERT_EQ(second.status, 0) << second.output;
    EXPECT_NE(first.output.find("data/stars4.jpg"), std::string::npos) << "progress names each file";
    EXPECT_EQ(second.output, "") << "quiet prints nothing";
    const ToolRun list = run("--list --only textures,meshes");
    size_t start = 0, files = 0;
    while (start < list.output.size()) {
        const size_t end = list.output.find('\n', start);
        const std::string file = list.output.substr(start, end - start);
        const std::string a = readFile(dir + "/deep/a/" + file);
        EXPECT_FALSE(a.empty()) << file;
        EXPECT_EQ(a, readFile(dir + "/b/" + file)) << file;
        ++files;
        start = end + 1;
    }
    EXPECT_EQ(files, 14u);
    EXPECT_FALSE(exists(dir + "/deep/a/data/Vorthalimex.mp3"));
    EXPECT_FALSE(exists(dir + "/deep/a/data/invsphere.ob3"));
}

}  // namespace
