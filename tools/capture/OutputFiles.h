#pragma once
// Checks made on the output files before any rendering starts, so that a long capture never
// fails at its end for want of a writable file.
#include <string>
#include <vector>

namespace capture {

// Makes a relative path absolute against the current directory (the capture changes into the
// run directory later).
std::string absolutePath(const std::string& path);

// True when path can be written: its directory exists and takes a new file, or the file exists,
// is not a directory, may be replaced (overwrite) and opens for writing. Otherwise false with
// the reason in *error. Leaves the file system as it found it.
bool checkOutputPath(const std::string& path, bool overwrite, std::string* error);

// True when no path is named twice; otherwise false naming it in *error.
bool checkDistinctPaths(const std::vector<std::string>& paths, std::string* error);

}  // namespace capture
