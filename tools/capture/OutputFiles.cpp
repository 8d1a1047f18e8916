#include "OutputFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>

#include "platform/FileAccess.h"

namespace capture {

namespace fs = std::filesystem;

std::string absolutePath(const std::string& path) {
    if (path.empty()) return path;
    const fs::path given = fs::u8path(path);
    if (given.is_absolute()) return path;
    std::error_code ec;
    const fs::path absolute = fs::absolute(given, ec);
    return ec ? path : absolute.u8string();
}

bool checkOutputPath(const std::string& path, bool overwrite, std::string* error) {
    std::error_code ec;
    const fs::file_status status = fs::status(fs::u8path(path), ec);
    if (fs::exists(status)) {
        if (fs::is_directory(status)) {
            *error = "cannot write " + path + ": it is a directory";
            return false;
        }
        if (!overwrite) {
            *error = path + " already exists (give --overwrite to replace it)";
            return false;
        }
        std::FILE* file = platform::openFile(path, "r+b");  // writable, left as it is
        if (!file) {
            *error = "cannot write " + path + ": " + std::strerror(errno);
            return false;
        }
        std::fclose(file);
        return true;
    }
    std::FILE* file = platform::openFile(path, "wb");
    if (!file) {
        *error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    std::fclose(file);
    fs::remove(fs::u8path(path), ec);
    return true;
}

bool checkDistinctPaths(const std::vector<std::string>& paths, std::string* error) {
    std::set<std::string> seen;
    for (const std::string& p : paths) {
        if (!seen.insert(p).second) {
            *error = p + " is named as output twice";
            return false;
        }
    }
    return true;
}

}  // namespace capture
