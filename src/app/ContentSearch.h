#pragma once
// Where the show finds its content (data/ and blow.job). Every content path is relative to the
// working directory; the program moves there when the content lies elsewhere.
//
// A folder holds the show's content when it holds the show's archive "blow.job" or its soundtrack
// "data/Vorthalimex.mp3" (both regular files): the archive is the show's own, and the soundtrack is
// the one content file always read from data/ itself, never from the archive. Any other data/
// folder (a home folder often has one) is not the show's, and the search goes on past it.
#include <optional>
#include <string>
#include <vector>

namespace app {

// The files that mark a folder as the show's content, relative to it: either one is enough.
extern const char* const kContentMarks[2];

// A folder the content is looked for in, and what it is, for the message.
struct ContentPlace {
    std::string dir;
    std::string what;
};

// The folders, in the order they are tried: the working directory; then, from programDir (the
// program's folder, ending in '/'; empty when unknown), that folder itself (where a program
// unpacked with its content keeps it, as on Windows), the build's run directory (<build>/run for
// <build>/bin/vorthalimex) and the installed data folder (<prefix>/share/vorthalimex for
// <prefix>/bin/vorthalimex). A folder already in the list is not listed again.
std::vector<ContentPlace> contentPlaces(const std::string& workingDir, const std::string& programDir);

// contentPlaces for this process: its working directory and its executable's folder.
std::vector<ContentPlace> contentPlacesOfThisProcess();

// True when dir holds one of kContentMarks.
bool holdsContent(const std::string& dir);

// The first place that holds the content, if any.
std::optional<std::string> findContent(const std::vector<ContentPlace>& places);

// The one message for content found nowhere (to follow "<program>: "): what marks the content,
// every folder looked in, and how to get the content. Ends in a line feed.
std::string missingContentMessage(const std::vector<ContentPlace>& places);

// Looks for the content from the current working directory and this program's folder and moves
// into the folder that holds it. When there is none, or the folder cannot be entered, returns
// false with the reason in *report (one or more lines, each ending in a newline).
bool enterContentFolder(std::string* report);

}  // namespace app
