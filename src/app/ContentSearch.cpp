#include "app/ContentSearch.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/ProgramPlace.h"

namespace app {

namespace fs = std::filesystem;

std::vector<ContentPlace> contentPlaces(const std::string& workingDir, const std::string& programDir) {
    std::vector<ContentPlace> places{{workingDir, "the working directory"}};
    if (!programDir.empty()) {
        // programDir ends in '/': its parent is the build folder or the installation prefix.
        const fs::path above = fs::path(programDir).lexically_normal().parent_path().parent_path();
        places.push_back({(above / "run").string(), "the build's run directory beside the program"});
        places.push_back({(above / "share" / "vorthalimex").string(), "the installed data folder"});
    }
    return places;
}

std::vector<ContentPlace> contentPlacesOfThisProcess() {
    std::error_code failure;
    const fs::path workingDir = fs::current_path(failure);
    return contentPlaces(failure ? "." : workingDir.string(), platform::programDirectory());
}

bool holdsContent(const std::string& dir) {
    std::error_code ignored;
    return fs::is_directory(fs::path(dir) / "data", ignored) || fs::is_regular_file(fs::path(dir) / "blow.job", ignored);
}

std::optional<std::string> findContent(const std::vector<ContentPlace>& places) {
    for (const ContentPlace& place : places)
        if (holdsContent(place.dir)) return place.dir;
    return std::nullopt;
}

std::string missingContentMessage(const std::vector<ContentPlace>& places) {
    std::string text = "the show's content (a data/ folder and blow.job) is in none of\n";
    for (const ContentPlace& place : places) text += "  " + place.dir + "  (" + place.what + ")\n";
    text += "Make it with scripts/run (builds, makes the content pack and plays the show), or build\n"
            "the content-pack target (cmake --build <build> --target content-pack) and play from\n"
            "<build>/run; an installed program finds it in <prefix>/share/vorthalimex.\n";
    return text;
}

bool enterContentFolder(const std::string& program) {
    const std::vector<ContentPlace> places = contentPlacesOfThisProcess();
    const std::optional<std::string> found = findContent(places);
    if (!found) {
        std::fprintf(stderr, "%s: %s", program.c_str(), missingContentMessage(places).c_str());
        return false;
    }
    if (*found == places.front().dir) return true;
    std::error_code failure;
    fs::current_path(*found, failure);
    if (failure) {
        std::fprintf(stderr, "%s: cannot enter %s, which holds the show's content: %s\n", program.c_str(),
                     found->c_str(), failure.message().c_str());
        return false;
    }
    return true;
}

}  // namespace app
