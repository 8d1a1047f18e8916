#include "OutputFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <set>

namespace capture {

std::string absolutePath(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    std::string dir(4096, '\0');
    if (!getcwd(&dir[0], dir.size())) return path;
    dir.resize(std::strlen(dir.c_str()));
    return dir + "/" + path;
}

bool checkOutputPath(const std::string& path, bool overwrite, std::string* error) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            *error = "cannot write " + path + ": it is a directory";
            return false;
        }
        if (!overwrite) {
            *error = path + " already exists (give --overwrite to replace it)";
            return false;
        }
        const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) {
            *error = "cannot write " + path + ": " + std::strerror(errno);
            return false;
        }
        close(fd);
        return true;
    }
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        *error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    close(fd);
    unlink(path.c_str());
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
