#pragma once
// Files by name, the same on every system (FileAccessUnix.cpp, FileAccessWindows.cpp): names are
// UTF-8 and may use either separator on Windows (Unix takes '/' only: a backslash is a legal
// character of a Unix name); sizes and offsets are 64-bit, since `long` is 32 bits on Windows.
// No other code calls fopen, fseek or ftell on a named file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace platform {

// std::fopen with a UTF-8 name (Windows: _wfopen on its UTF-16 form; a name that is not valid
// UTF-8 fails with EINVAL there). Give a binary mode ("rb", "wb"): Windows translates "\r\n"
// in text mode. Null on failure, errno set.
std::FILE* openFile(const std::string& utf8Path, const char* mode);

// The stream's position in bytes; -1 on failure.
std::int64_t fileTell(std::FILE* file);
// Moves the stream to `offset` from `whence` (SEEK_SET, SEEK_CUR, SEEK_END); false on failure.
bool fileSeek(std::FILE* file, std::int64_t offset, int whence);
// The stream's length in bytes, its position kept; -1 when it cannot be told (a pipe).
std::int64_t fileLength(std::FILE* file);

// Reads the whole file at utf8Path into `bytes`. False, with `bytes` empty, when it cannot be
// opened or read or is longer than maxBytes (checked before anything is allocated).
bool readWholeFile(const std::string& utf8Path, std::size_t maxBytes, std::vector<unsigned char>& bytes);

// Writes `size` bytes to a new file beside utf8Path (never an existing file, nor through a link)
// and moves it over utf8Path once complete, replacing a file there in one step. The new file gets
// the usual permissions (Unix: 0666 less the umask). On failure the new file is removed, a file
// at utf8Path stays as it was, and `error` says which step failed and why: "cannot be created:
// <reason>", "cannot be written: <reason>" or "cannot be replaced: <reason>".
bool replaceFile(const std::string& utf8Path, const unsigned char* data, std::size_t size, std::string& error);

// The stream's file's last modification time; -1 when the system cannot tell it.
std::time_t fileModifiedTime(std::FILE* file);

// The local calendar time of `t` (thread-safe); false when the system cannot tell it.
bool localTime(std::time_t t, std::tm& local);

}  // namespace platform
