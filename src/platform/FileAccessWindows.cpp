// Files on Windows: UTF-8 names become UTF-16 for the wide-character C runtime, so every name
// opens whatever the active code page; offsets go through the 64-bit runtime calls.
#include <windows.h>

#include <cerrno>

#include "platform/FileAccess.h"

namespace platform {

namespace {

// The UTF-16 form of a UTF-8 string; false when it is not valid UTF-8.
bool toWide(const std::string& utf8, std::wstring& wide) {
    wide.clear();
    if (utf8.empty()) return true;
    if (utf8.size() > 0x7fffffff) return false;
    const int length = static_cast<int>(utf8.size());
    const int count = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, nullptr, 0);
    if (count <= 0) return false;
    wide.resize(static_cast<std::size_t>(count));
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, &wide[0], count) == count;
}

}  // namespace

std::FILE* openFile(const std::string& utf8Path, const char* mode) {
    std::wstring widePath, wideMode;
    if (!toWide(utf8Path, widePath) || !toWide(mode, wideMode) || widePath.find(L'\0') != std::wstring::npos) {
        errno = EINVAL;
        return nullptr;
    }
    return _wfopen(widePath.c_str(), wideMode.c_str());
}

std::int64_t fileTell(std::FILE* file) { return _ftelli64(file); }

bool fileSeek(std::FILE* file, std::int64_t offset, int whence) { return _fseeki64(file, offset, whence) == 0; }

}  // namespace platform
