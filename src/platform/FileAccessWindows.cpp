// Files on Windows: UTF-8 names become UTF-16 for the wide-character C runtime, so every name
// opens whatever the active code page; offsets go through the 64-bit runtime calls.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/FileAccess.h"
#include "platform/WindowsText.h"

namespace platform {

bool toUtf16(const std::string& utf8, std::wstring& wide) {
    wide.clear();
    if (utf8.empty()) return true;
    if (utf8.size() > 0x7fffffff) return false;
    const int length = static_cast<int>(utf8.size());
    const int count = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, nullptr, 0);
    if (count <= 0) return false;
    wide.resize(static_cast<std::size_t>(count));
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, &wide[0], count) == count) return true;
    wide.clear();
    return false;
}

std::wstring utf16(const std::string& utf8) {
    if (utf8.empty() || utf8.size() > 0x7fffffff) return {};
    const int length = static_cast<int>(utf8.size());
    const int count = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(count > 0 ? count : 0), L'\0');
    if (count > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, &wide[0], count);
    return wide;
}

std::string systemMessage(unsigned long code) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length > 0 && text ? std::string(text, length) : "error " + std::to_string(code);
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
        message.pop_back();
    return message;
}


std::FILE* openFile(const std::string& utf8Path, const char* mode) {
    std::wstring widePath, wideMode;
    if (!toUtf16(utf8Path, widePath) || !toUtf16(mode, wideMode) || widePath.find(L'\0') != std::wstring::npos) {
        errno = EINVAL;
        return nullptr;
    }
    return _wfopen(widePath.c_str(), wideMode.c_str());
}

std::int64_t fileTell(std::FILE* file) { return _ftelli64(file); }

bool fileSeek(std::FILE* file, std::int64_t offset, int whence) { return _fseeki64(file, offset, whence) == 0; }

bool replaceFile(const std::string& utf8Path, const unsigned char* data, std::size_t size, std::string& error) {
    std::wstring target;
    if (!toUtf16(utf8Path, target) || target.empty()) {
        error = std::string("cannot be created: ") + std::strerror(EINVAL);
        return false;
    }
    // A name of our own beside the target; O_EXCL never opens an existing file (nor one that a
    // link stands at), so a taken name is passed over.
    std::wstring temporary;
    int fd = -1;
    for (unsigned attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = target + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(attempt) + L".tmp";
        fd = _wopen(temporary.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        error = std::string("cannot be created: ") + std::strerror(errno);
        return false;
    }
    std::size_t done = 0;
    while (done < size) {
        const unsigned chunk = static_cast<unsigned>(std::min<std::size_t>(size - done, INT_MAX));
        const int n = _write(fd, data + done, chunk);
        if (n <= 0) {
            const int code = n < 0 ? errno : ENOSPC;
            _close(fd);
            _wunlink(temporary.c_str());
            error = std::string("cannot be written: ") + std::strerror(code);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    if (_close(fd) != 0) {
        const int code = errno;
        _wunlink(temporary.c_str());
        error = std::string("cannot be written: ") + std::strerror(code);
        return false;
    }
    if (!MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD code = GetLastError();
        _wunlink(temporary.c_str());
        error = "cannot be replaced: " + systemMessage(code);
        return false;
    }
    return true;
}

std::time_t fileModifiedTime(std::FILE* file) {
    struct _stat64 st {};
    return _fstat64(_fileno(file), &st) == 0 ? static_cast<std::time_t>(st.st_mtime) : std::time_t(-1);
}

bool localTime(std::time_t t, std::tm& local) { return localtime_s(&local, &t) == 0; }

}  // namespace platform
