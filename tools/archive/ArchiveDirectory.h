#pragma once
// The block directory of a data archive, read for listing and checking: every member's header
// fields, without touching the packed data. Extraction itself goes through `extractMember`.
#include <cstdint>
#include <string>
#include <vector>

#include "datafiles/ArchiveReaderState.h"

namespace archivetool {

struct DirectoryEntry {
  datafiles::ArchiveFileHeader header;
  std::string name;  // as stored, with '\' between folders
  bool headerCrcOk = true;

  bool enciphered() const { return header.flags & 0x0004; }
  bool continuesSolid() const { return header.flags & 0x0010; }
  // Versions the reader accepts.
  bool supported() const { return header.unpVer >= 13 && header.unpVer <= 20; }
};

struct ArchiveDirectory {
  bool ok = false;
  std::string error;  // when not ok: "cannot be opened", "is not a data archive", ...
  bool solid = false;
  std::vector<DirectoryEntry> members;
};

// Walks the blocks of the archive at `path`. A file that does not start with the archive marker,
// a header cut short or a block that does not move forward ends the walk with an error; members
// read before it are kept.
ArchiveDirectory readArchiveDirectory(const std::string& path);

// "stored", "fastest", "fast", "normal", "good", "best" for methods 0x30 to 0x35.
std::string methodName(uint8_t method);

}  // namespace archivetool
