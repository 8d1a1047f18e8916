// The output folder on Unix: every folder opened with O_NOFOLLOW from the one above (openat).
#include "OutputFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

#include "Terminal.h"

namespace archivetool {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr int kNewFileFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;

std::string joined(const std::vector<std::string>& parts, size_t count) {
  std::string path;
  for (size_t i = 0; i < count; ++i) path += (i ? "/" : "") + parts[i];
  return "'" + escaped(path) + "'";
}

bool isLink(int dir, const std::string& name) {
  struct stat st {};
  return fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
}

bool writeAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= size_t(n);
  }
  return true;
}

// Closes a folder descriptor unless it is the root.
struct FolderHandle {
  int fd;
  int root;
  ~FolderHandle() {
    if (fd >= 0 && fd != root) ::close(fd);
  }
};

}  // namespace

OutputFolder::~OutputFolder() {
  if (root_ >= 0) ::close(root_);
}

bool OutputFolder::open(const std::string& path, std::string& error) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  if (ec) {
    error = "cannot make the output folder '" + escaped(path) + "': " + ec.message();
    return false;
  }
  root_ = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (root_ < 0) {
    error = "cannot open the output folder '" + escaped(path) + "': " + std::strerror(errno);
    return false;
  }
  return true;
}

OutputFolder::Result OutputFolder::write(const std::vector<std::string>& parts, const uint8_t* data,
                                         size_t size, std::time_t modified, ExistingFiles existing,
                                         std::string& reason) {
  FolderHandle dir{root_, root_};
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    const char* name = parts[i].c_str();
    int next = openat(dir.fd, name, kFolderFlags);
    if (next < 0 && errno == ENOENT) {
      if (mkdirat(dir.fd, name, 0777) != 0 && errno != EEXIST) {
        reason = "cannot make the folder " + joined(parts, i + 1) + ": " + std::strerror(errno);
        return Result::Failed;
      }
      next = openat(dir.fd, name, kFolderFlags);
    }
    if (next < 0) {
      const int error = errno;
      if (isLink(dir.fd, parts[i]))
        reason = "refused: " + joined(parts, i + 1) + " is a symbolic link";
      else
        reason = "cannot open the folder " + joined(parts, i + 1) + ": " + std::strerror(error);
      return Result::Failed;
    }
    FolderHandle opened{next, root_};
    std::swap(dir.fd, opened.fd);  // `opened` closes the folder above
  }

  const std::string& leaf = parts.back();
  const std::string shown = joined(parts, parts.size());
  std::string created = leaf;  // the name the data goes to first
  int fd = openat(dir.fd, leaf.c_str(), kNewFileFlags, 0666);
  if (fd < 0 && errno == EEXIST) {
    struct stat st {};
    const bool known = fstatat(dir.fd, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    const char* what = known && S_ISLNK(st.st_mode) ? " exists as a symbolic link"
                       : known && S_ISDIR(st.st_mode) ? " exists as a folder"
                                                      : " exists";
    if (existing == ExistingFiles::Skip) {
      reason = shown + what;
      return Result::Skipped;
    }
    if (existing == ExistingFiles::Refuse || (known && S_ISDIR(st.st_mode))) {
      reason = "refused: " + shown + what +
               (existing == ExistingFiles::Refuse ? " (--overwrite replaces it, --skip-existing keeps it)" : "");
      return Result::Failed;
    }
    // A new file beside it, renamed over it once complete.
    std::random_device seed;
    std::mt19937 rng(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
      created = ".vxar-" + std::to_string(rng() % 100000000u);
      fd = openat(dir.fd, created.c_str(), kNewFileFlags, 0666);
      if (fd >= 0 || errno != EEXIST) break;
    }
  }
  if (fd < 0) {
    const int error = errno;
    if (error == ELOOP || isLink(dir.fd, leaf))
      reason = "refused: " + shown + " is a symbolic link";
    else
      reason = "cannot create " + shown + ": " + std::strerror(error);
    return Result::Failed;
  }
  bool ok = writeAll(fd, data, size);
  int error = ok ? 0 : errno;
  if (ok && modified != std::time_t(-1)) {
    const timespec times[2] = {{modified, 0}, {modified, 0}};
    futimens(fd, times);
  }
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && created != leaf && renameat(dir.fd, created.c_str(), dir.fd, leaf.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    unlinkat(dir.fd, created.c_str(), 0);
    reason = "cannot write " + shown + ": " + std::strerror(error);
    return Result::Failed;
  }
  return Result::Written;
}

}  // namespace archivetool
