#pragma once
// Writes extracted members below one output folder without ever following a symbolic link below
// it. On Unix every folder on a member's path is opened with O_NOFOLLOW from the one above it
// (openat), missing ones are made, and new files are created with O_EXCL, so neither a link
// already in the folder nor one swapped in meanwhile can carry a write elsewhere. On Windows a
// folder or file that is a reparse point (a symbolic link or a junction) is refused, and new files
// are created only where no file was (OutputFolder<System>.cpp). An existing file is replaced
// only when asked, by renaming a new file over it (a link in its place is replaced, not followed).
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace archivetool {

enum class ExistingFiles { Refuse, Overwrite, Skip };

class OutputFolder {
 public:
  OutputFolder() = default;
  ~OutputFolder();
  OutputFolder(const OutputFolder&) = delete;
  OutputFolder& operator=(const OutputFolder&) = delete;

  // Opens the folder at `path`, making it (and its parents) when missing. The folder itself may be
  // reached through links: the user named it.
  bool open(const std::string& path, std::string& error);

  enum class Result { Written, Skipped, Failed };
  // Writes `size` bytes to the file whose path below the folder is `parts` (each a plain name: not
  // empty, ".", ".." and without '/'), its modification time set to `modified` (-1: left as
  // now). On Skipped and Failed, `reason` says why.
  Result write(const std::vector<std::string>& parts, const uint8_t* data, size_t size,
               std::time_t modified, ExistingFiles existing, std::string& reason);

 private:
  int root_ = -1;          // Unix: the folder's descriptor
  std::string rootPath_;   // Windows: the folder's path
};

}  // namespace archivetool
