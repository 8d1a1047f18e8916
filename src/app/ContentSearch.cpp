#include "app/ContentSearch.h"

#include <filesystem>
#include <system_error>

#include "platform/ProgramPlace.h"

namespace app {

namespace fs = std::filesystem;

const char* const kContentMarks[2] = {"blow.job", "data/Vorthalimex.mp3"};

std::vector<ContentPlace> contentPlaces(const std::string& workingDir, const std::string& programDir) {
    std::vector<ContentPlace> places{{workingDir, "the working directory"}};
    auto add = [&places](const fs::path& dir, const char* what) {
        for (const ContentPlace& place : places)
            if (fs::path(place.dir).lexically_normal() == dir) return;
        places.push_back({dir.string(), what});
    };
    if (!programDir.empty()) {
        // programDir ends in '/': its parent is the build folder or the installation prefix.
        const fs::path own = fs::path(programDir).lexically_normal().parent_path();
        const fs::path above = own.parent_path();
        add(own, "the program's own folder");
        add(above / "run", "the build's run directory beside the program");
        add(above / "share" / "vorthalimex", "the installed data folder");
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
    for (const char* mark : kContentMarks)
        if (fs::is_regular_file(fs::path(dir) / mark, ignored)) return true;
    return false;
}

std::optional<std::string> findContent(const std::vector<ContentPlace>& places) {
    for (const ContentPlace& place : places)
        if (holdsContent(place.dir)) return place.dir;
    return std::nullopt;
}

std::string missingContentMessage(const std::vector<ContentPlace>& places) {
    std::string text = "the show's content (a folder with ";
    text += std::string(kContentMarks[0]) + " or " + kContentMarks[1] + " in it) is in none of\n";
    for (const ContentPlace& place : places) text += "  " + place.dir + "  (" + place.what + ")\n";
    text += "Make it with scripts/run (builds, makes the content pack and plays the show), or build\n"
            "the content-pack target (cmake --build <build> --target content-pack) and play from\n"
            "<build>/run; an installed program finds it in <prefix>/share/vorthalimex.\n";
    return text;
}

bool enterContentFolder(std::string* report) {
    const std::vector<ContentPlace> places = contentPlacesOfThisProcess();
    const std::optional<std::string> found = findContent(places);
    if (!found) {
        *report = missingContentMessage(places);
        return false;
    }
    if (*found == places.front().dir) return true;
    std::error_code failure;
    fs::current_path(*found, failure);
    if (failure) {
        *report = "cannot enter " + *found + ", which holds the show's content: " + failure.message() + "\n";
        return false;
    }
    return true;
}

}  // namespace app
