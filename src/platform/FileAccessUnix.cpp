// Files on Unix: names are bytes (UTF-8 by convention) and off_t is 64-bit (_FILE_OFFSET_BITS
// is 64 where it would not be).
#include <sys/types.h>

#include "platform/FileAccess.h"

namespace platform {

std::FILE* openFile(const std::string& utf8Path, const char* mode) { return std::fopen(utf8Path.c_str(), mode); }

std::int64_t fileTell(std::FILE* file) { return static_cast<std::int64_t>(ftello(file)); }

bool fileSeek(std::FILE* file, std::int64_t offset, int whence) {
    return fseeko(file, static_cast<off_t>(offset), whence) == 0;
}

}  // namespace platform
