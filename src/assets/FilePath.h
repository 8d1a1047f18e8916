#pragma once
// Content paths are written with backslashes ("data\fire.jpg"), relative to the working directory.
#include <string>

namespace assets {

// The path as this system's file functions take it: every backslash becomes a slash.
std::string hostPath(const std::string& path);

}  // namespace assets
