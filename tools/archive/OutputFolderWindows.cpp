// The output folder on Windows: a folder or file on a member's path that is a reparse point (a
// symbolic link or a junction) is refused, and new files are created only where no file was
// (CREATE_NEW, which does not follow a link at the name), written under a name of their own and
// moved over an existing file only when asked. Names are UTF-8, turned to UTF-16 here.
#include <windows.h>

#include <filesystem>
#include <random>

#include "OutputFolder.h"
#include "Terminal.h"
#include "platform/WindowsText.h"

namespace archivetool {

namespace {

std::string joined(const std::vector<std::string>& parts, size_t count) {
  std::string path;
  for (size_t i = 0; i < count; ++i) path += (i ? "/" : "") + parts[i];
  return "'" + escaped(path) + "'";
}

bool isReparsePoint(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// A new file at `path`, never one that exists (a link at the name included).
HANDLE createNew(const std::wstring& path) {
  return CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// Writes everything and sets the modification time (-1: left as now); false with the error code.
bool fill(HANDLE file, const uint8_t* data, size_t size, std::time_t modified, DWORD& error) {
  while (size > 0) {
    DWORD wrote = 0;
    const DWORD chunk = static_cast<DWORD>(size < 0x40000000u ? size : 0x40000000u);
    if (!WriteFile(file, data, chunk, &wrote, nullptr) || wrote == 0) {
      error = GetLastError();
      return false;
    }
    data += wrote;
    size -= wrote;
  }
  if (modified != std::time_t(-1)) {
    // FILETIME counts 100 ns from 1601-01-01.
    const ULONGLONG ticks = (static_cast<ULONGLONG>(modified) + 11644473600ull) * 10000000ull;
    const FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SetFileTime(file, nullptr, &time, &time);
  }
  return true;
}

}  // namespace

OutputFolder::~OutputFolder() = default;

bool OutputFolder::open(const std::string& path, std::string& error) {
  std::error_code ec;
  const std::filesystem::path folder = std::filesystem::u8path(path);
  std::filesystem::create_directories(folder, ec);
  if (ec || !std::filesystem::is_directory(folder, ec)) {
    error = "cannot make the output folder '" + escaped(path) + "': " +
            (ec ? ec.message() : std::string("not a folder"));
    return false;
  }
  rootPath_ = path;
  return true;
}

OutputFolder::Result OutputFolder::write(const std::vector<std::string>& parts, const uint8_t* data,
                                         size_t size, std::time_t modified, ExistingFiles existing,
                                         std::string& reason) {
  std::wstring dir = platform::utf16(rootPath_);
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    dir += L"\\" + platform::utf16(parts[i]);
    DWORD attributes = GetFileAttributesW(dir.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      if (!CreateDirectoryW(dir.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        reason = "cannot make the folder " + joined(parts, i + 1) + ": " + platform::systemMessage(GetLastError());
        return Result::Failed;
      }
      attributes = GetFileAttributesW(dir.c_str());
    }
    if (isReparsePoint(attributes)) {
      reason = "refused: " + joined(parts, i + 1) + " is a symbolic link or junction";
      return Result::Failed;
    }
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      reason = "cannot open the folder " + joined(parts, i + 1) + ": " +
               (attributes == INVALID_FILE_ATTRIBUTES ? platform::systemMessage(GetLastError()) : "not a folder");
      return Result::Failed;
    }
  }

  const std::wstring target = dir + L"\\" + platform::utf16(parts.back());
  const std::string shown = joined(parts, parts.size());
  std::wstring created = target;  // the name the data goes to first
  HANDLE file = createNew(created);
  if (file == INVALID_HANDLE_VALUE && (GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS)) {
    const DWORD attributes = GetFileAttributesW(target.c_str());
    const bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const char* what = isReparsePoint(attributes) ? " exists as a symbolic link or junction"
                       : folder                   ? " exists as a folder"
                                                  : " exists";
    if (existing == ExistingFiles::Skip) {
      reason = shown + what;
      return Result::Skipped;
    }
    if (existing == ExistingFiles::Refuse || folder) {
      reason = "refused: " + shown + what +
               (existing == ExistingFiles::Refuse ? " (--overwrite replaces it, --skip-existing keeps it)" : "");
      return Result::Failed;
    }
    // A new file beside it, moved over it once complete (a link there is replaced, not followed).
    std::random_device seed;
    std::mt19937 rng(seed());
    for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
      created = dir + L"\\.vxar-" + std::to_wstring(rng() % 100000000u);
      file = createNew(created);
      if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
    }
  }
  if (file == INVALID_HANDLE_VALUE) {
    reason = "cannot create " + shown + ": " + platform::systemMessage(GetLastError());
    return Result::Failed;
  }
  DWORD error = 0;
  bool ok = fill(file, data, size, modified, error);
  if (!CloseHandle(file) && ok) {
    ok = false;
    error = GetLastError();
  }
  if (ok && created != target && !MoveFileExW(created.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    ok = false;
    error = GetLastError();
  }
  if (!ok) {
    DeleteFileW(created.c_str());
    reason = "cannot write " + shown + ": " + platform::systemMessage(error);
    return Result::Failed;
  }
  return Result::Written;
}

}  // namespace archivetool
