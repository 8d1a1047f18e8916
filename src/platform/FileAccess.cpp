// The parts of file access that are the same on every system, over the per-system calls.
#include "platform/FileAccess.h"

#include <memory>

namespace platform {

std::int64_t fileLength(std::FILE* file) {
    const std::int64_t here = fileTell(file);
    if (here < 0 || !fileSeek(file, 0, SEEK_END)) return -1;
    const std::int64_t end = fileTell(file);
    return fileSeek(file, here, SEEK_SET) ? end : -1;
}

bool readWholeFile(const std::string& utf8Path, std::size_t maxBytes, std::vector<unsigned char>& bytes) {
    bytes.clear();
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(openFile(utf8Path, "rb"), &std::fclose);
    if (!file) return false;
    const std::int64_t length = fileLength(file.get());
    if (length < 0 || static_cast<std::uint64_t>(length) > maxBytes) return false;
    bytes.resize(static_cast<std::size_t>(length));
    if (!bytes.empty() && std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
        bytes.clear();
        return false;
    }
    return true;
}

}  // namespace platform
