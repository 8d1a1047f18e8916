// Where the program finds its content: the working directory first, then beside the program.
#include "app/ContentSearch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "music/TestMp3.h"

namespace {

namespace fs = std::filesystem;

void touch(const fs::path& file) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "x";
}

TEST(ContentSearch, PlacesBesideTheProgramForTheBuildAndTheInstallation) {
    const auto places = app::contentPlaces("/home/u/films", "/work/build/release/bin/");
    ASSERT_EQ(places.size(), 3u);
    EXPECT_EQ(places[0].dir, "/home/u/films");
    EXPECT_EQ(places[1].dir, "/work/build/release/run");
    EXPECT_EQ(places[2].dir, "/work/build/release/share/vorthalimex");
    EXPECT_EQ(app::contentPlaces("/opt/x", "/usr/bin/")[2].dir, "/usr/share/vorthalimex");
    EXPECT_EQ(app::contentPlaces("/opt/x", "/usr/local/bin/../bin/")[1].dir, "/usr/local/run");
    // Where the system does not say where the program is, only the working directory is tried.
    EXPECT_EQ(app::contentPlaces("/opt/x", "").size(), 1u);
}

TEST(ContentSearch, FirstPlaceWithADataFolderOrTheArchiveWins) {
    // Under the test's folder: w is the working directory, the program lies in b/bin (a build)
    // or p/bin (an installation).
    const struct {
        const char* name;
        const char* programDir;
        std::vector<const char*> files;
        const char* found;  // "" for none
    } cases[] = {
        {"working directory with data/", "b/bin", {"w/data/x.jpg", "b/run/data/x.jpg"}, "w"},
        {"working directory with only the archive", "b/bin", {"w/blow.job", "b/run/blow.job"}, "w"},
        {"build's run directory", "b/bin", {"b/run/data/x.jpg"}, "b/run"},
        {"build's run directory with only the archive", "b/bin", {"b/run/blow.job"}, "b/run"},
        {"installed data folder", "p/bin", {"p/share/vorthalimex/data/x.jpg", "p/share/vorthalimex/blow.job"},
         "p/share/vorthalimex"},
        {"the run directory before the data folder", "p/bin", {"p/run/blow.job", "p/share/vorthalimex/blow.job"}, "p/run"},
        {"content beside another program", "b/bin", {"p/share/vorthalimex/blow.job"}, ""},
        {"a file named data is no folder", "b/bin", {"w/data", "b/run/data"}, ""},
        {"a folder named blow.job is no archive", "b/bin", {"w/blow.job/x"}, ""},
        {"other files", "p/bin", {"w/x.jpg", "p/run/Vorthalimex.mp3", "p/share/vorthalimex/x"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::TempDir dir;
        const fs::path root = dir.path();
        for (const char* f : {"w", "b/bin", "p/bin"}) fs::create_directories(root / f);
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
    for (const char* part : {"the show's content", "/home/u  (the working directory)", "/opt/vx/run", "/opt/vx/share/vorthalimex",
                             "scripts/run", "content-pack"})
        EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
}

}  // namespace
