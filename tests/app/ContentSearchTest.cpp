// Where the program finds its content: the working directory first, then beside the program; a
// folder counts only when it holds the show's archive or its soundtrack.
#include "app/ContentSearch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "music/TestMp3.h"

namespace {

namespace fs = std::filesystem;

// A path as this system writes it: the places beside the program are made by std::filesystem,
// which joins with the system's own separator.
std::string preferred(const std::string& path) { return fs::path(path).make_preferred().string(); }

void touch(const fs::path& file) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "x";
}

TEST(ContentSearch, PlacesBesideTheProgramForTheBuildAndTheInstallation) {
    const auto places = app::contentPlaces("/home/u/films", "/work/build/release/bin/");
    ASSERT_EQ(places.size(), 4u);
    EXPECT_EQ(places[0].dir, "/home/u/films");
    EXPECT_EQ(places[1].dir, preferred("/work/build/release/bin"));
    EXPECT_EQ(places[2].dir, preferred("/work/build/release/run"));
    EXPECT_EQ(places[3].dir, preferred("/work/build/release/share/vorthalimex"));
    EXPECT_EQ(app::contentPlaces("/opt/x", "/usr/bin/")[3].dir, preferred("/usr/share/vorthalimex"));
    EXPECT_EQ(app::contentPlaces("/opt/x", "/usr/local/bin/../bin/")[2].dir, preferred("/usr/local/run"));
    // Where the system does not say where the program is, only the working directory is tried.
    EXPECT_EQ(app::contentPlaces("/opt/x", "").size(), 1u);
}

// A program started in its own folder, or unpacked into what would be another's run directory,
// has each folder looked in once.
TEST(ContentSearch, AFolderIsListedOnce) {
    const struct {
        const char* workingDir;
        const char* programDir;
        std::vector<const char*> dirs;
    } cases[] = {
        {"/games/vx", "/games/vx/", {"/games/vx", "/games/run", "/games/share/vorthalimex"}},
        {"/games/vx", "/games/vx/./", {"/games/vx", "/games/run", "/games/share/vorthalimex"}},
        {"/opt/run", "/opt/run/", {"/opt/run", "/opt/share/vorthalimex"}},
        {"/usr/share/vorthalimex", "/usr/bin/", {"/usr/share/vorthalimex", "/usr/bin", "/usr/run"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.workingDir) + " " + c.programDir);
        std::vector<std::string> dirs;
        for (const auto& place : app::contentPlaces(c.workingDir, c.programDir)) dirs.push_back(preferred(place.dir));
        std::vector<std::string> expected;
        for (const char* d : c.dirs) expected.push_back(preferred(d));
        EXPECT_EQ(dirs, expected);
    }
}

TEST(ContentSearch, FirstPlaceWithTheArchiveOrTheSoundtrackWins) {
    // Under the test's folder: w is the working directory, the program lies in b/bin (a build),
    // p/bin (an installation) or u (a folder unpacked with its content).
    const struct {
        const char* name;
        const char* programDir;
        std::vector<const char*> files;
        const char* found;  // "" for none
    } cases[] = {
        {"working directory with the soundtrack", "b/bin", {"w/data/Vorthalimex.mp3", "b/run/blow.job"}, "w"},
        {"working directory with only the archive", "b/bin", {"w/blow.job", "b/run/blow.job"}, "w"},
        {"build's run directory", "b/bin", {"b/run/data/Vorthalimex.mp3", "b/run/data/x.jpg"}, "b/run"},
        {"build's run directory with only the archive", "b/bin", {"b/run/blow.job"}, "b/run"},
        {"installed data folder", "p/bin", {"p/share/vorthalimex/data/Vorthalimex.mp3", "p/share/vorthalimex/blow.job"},
         "p/share/vorthalimex"},
        {"the run directory before the data folder", "p/bin", {"p/run/blow.job", "p/share/vorthalimex/blow.job"}, "p/run"},
        {"the program's own folder", "u", {"u/blow.job", "u/data/Vorthalimex.mp3"}, "u"},
        {"the program's own folder before the data folder", "p/bin", {"p/bin/blow.job", "p/share/vorthalimex/blow.job"},
         "p/bin"},
        {"an unrelated data/ in the working directory", "p/bin",
         {"w/data/ballo.ob3", "w/data/notes.txt", "p/share/vorthalimex/blow.job"}, "p/share/vorthalimex"},
        {"an unrelated data/ beside the program", "b/bin", {"b/bin/data/x.jpg", "b/run/data/Vorthalimex.mp3"}, "b/run"},
        {"content beside another program", "b/bin", {"p/share/vorthalimex/blow.job"}, ""},
        {"only unrelated data/ folders", "b/bin", {"w/data/x.jpg", "b/run/data/x.jpg", "b/bin/data/ballo.ob3"}, ""},
        {"a folder named blow.job is no archive", "b/bin", {"w/blow.job/x"}, ""},
        {"a folder named Vorthalimex.mp3 is no soundtrack", "b/bin", {"w/data/Vorthalimex.mp3/x"}, ""},
        {"the soundtrack outside data/", "p/bin", {"w/Vorthalimex.mp3", "p/run/Vorthalimex.mp3", "p/share/vorthalimex/x"},
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::TempDir dir;
        const fs::path root = dir.path();
        for (const char* f : {"w", "b/bin", "p/bin", "u"}) fs::create_directories(root / f);
        for (const char* f : c.files) touch(root / f);
        const auto places = app::contentPlaces((root / "w").string(), (root / c.programDir).string() + "/");
        const auto found = app::findContent(places);
        if (*c.found == '\0') {
            EXPECT_FALSE(found) << *found;
        } else {
            ASSERT_TRUE(found);
            EXPECT_EQ(fs::path(*found), root / c.found);
        }
    }
}

TEST(ContentSearch, TheMessageNamesEveryPlaceAndHowToGetTheContent) {
    const auto places = app::contentPlaces("/home/u", "/opt/vx/bin/");
    const std::string text = app::missingContentMessage(places);
    for (const std::string& part :
         {std::string("the show's content"), std::string("blow.job"), std::string("data/Vorthalimex.mp3"),
          std::string("/home/u  (the working directory)"), preferred("/opt/vx/bin") + "  (the program's own folder)",
          preferred("/opt/vx/run"), preferred("/opt/vx/share/vorthalimex"), std::string("scripts/run"),
          std::string("content-pack")})
        EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
}

}  // namespace
