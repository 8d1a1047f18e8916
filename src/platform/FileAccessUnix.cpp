// Files on Unix: names are bytes (UTF-8 by convention) and off_t is 64-bit (_FILE_OFFSET_BITS
// is 64 where it would not be).
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/FileAccess.h"

namespace platform {

std::FILE* openFile(const std::string& utf8Path, const char* mode) { return std::fopen(utf8Path.c_str(), mode); }

std::int64_t fileTell(std::FILE* file) { return static_cast<std::int64_t>(ftello(file)); }

bool fileSeek(std::FILE* file, std::int64_t offset, int whence) {
    return fseeko(file, static_cast<off_t>(offset), whence) == 0;
}

bool replaceFile(const std::string& utf8Path, const unsigned char* data, std::size_t size, std::string& error) {
    std::string temporary = utf8Path + ".XXXXXX";
    auto fail = [&](const char* what, int code, bool created) {
        if (created) ::unlink(temporary.c_str());
        error = std::string(what) + ": " + std::strerror(code);
        return false;
    };
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return fail("cannot be created", errno, false);
    // mkstemp makes the file private; the file gets the usual permissions.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int code = n < 0 ? errno : ENOSPC;
            ::close(fd);
            return fail("cannot be written", code, true);
        }
        done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0) return fail("cannot be written", errno, true);
    if (std::rename(temporary.c_str(), utf8Path.c_str()) != 0) return fail("cannot be replaced", errno, true);
    return true;
}

std::time_t fileModifiedTime(std::FILE* file) {
    struct stat st {};
    return fstat(fileno(file), &st) == 0 ? st.st_mtime : std::time_t(-1);
}

bool localTime(std::time_t t, std::tm& local) { return localtime_r(&t, &local) != nullptr; }

}  // namespace platform
