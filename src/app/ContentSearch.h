#pragma once
// Where the show finds its content (data/ and blow.job). Every content path is relative to the
// working directory; the program moves there when the content lies elsewhere.
#include <optional>
#include <string>
#include <vector>

namespace app {

// A folder the content is looked for in, and what it is, for the message.
struct ContentPlace {
    std::string dir;
    std::string what;
};

// The folders, in the order they are tried: the working directory; then, beside the program in
// programDir (empty when unknown), the build's run directory (<build>/run for
// <build>/bin/vorthalimex) and the installed data folder (<prefix>/share/vorthalimex for
// <prefix>/bin/vorthalimex).
std::vector<ContentPlace> contentPlaces(const std::string& workingDir, const std::string& programDir);

// contentPlaces for this process: its working directory and its executable's folder.
std::vector<ContentPlace> contentPlacesOfThisProcess();

// True when dir holds a data/ folder or a blow.job file.
bool holdsContent(const std::string& dir);

// The first place that holds the content, if any.
std::optional<std::string> findContent(const std::vector<ContentPlace>& places);

// The one message for content found nowhere (to follow "<program>: "): every folder looked in,
// and how to get the content. Ends in a line feed.
std::string missingContentMessage(const std::vector<ContentPlace>& places);

// Looks for the content from the current working directory and this program's folder and moves
// into the folder that holds it. When there is none, or the folder cannot be entered, prints the
// reason on stderr once and returns false.
bool enterContentFolder(const std::string& program);

}  // namespace app
