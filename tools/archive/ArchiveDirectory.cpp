#include "ArchiveDirectory.h"

#include <cstdio>
#include <memory>

#include "datafiles/Crc32.h"

namespace archivetool {

namespace {

constexpr uint8_t kMarker[7] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
constexpr size_t kMainHeaderSize = 13;
constexpr size_t kFileHeaderSize = 32;

uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t le32(const uint8_t* p) { return le16(p) | uint32_t(le16(p + 2)) << 16; }

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

ArchiveDirectory readArchiveDirectory(const std::string& path) {
  ArchiveDirectory dir;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    dir.error = "cannot be opened";
    return dir;
  }
  uint8_t head[kFileHeaderSize];
  if (std::fread(head, 1, 7 + kMainHeaderSize, file.get()) != 7 + kMainHeaderSize ||
      !std::equal(kMarker, kMarker + 7, head)) {
    dir.error = "is not a data archive";
    return dir;
  }
  const uint8_t* main = head + 7;
  dir.solid = le16(main + 3) & 0x0008;
  const uint16_t mainSize = le16(main + 5);
  if (mainSize < kMainHeaderSize) {
    dir.error = "has a damaged main header";
    return dir;
  }
  std::fseek(file.get(), 0, SEEK_END);
  const long fileSize = std::ftell(file.get());
  long position = 7 + mainSize;
  for (;;) {
    if (std::fseek(file.get(), position, SEEK_SET) != 0) break;
    const size_t got = std::fread(head, 1, kFileHeaderSize, file.get());
    if (got == 0) {
      dir.ok = true;
      return dir;
    }
    if (got < 7) break;
    const uint8_t type = head[2];
    const uint16_t flags = le16(head + 3);
    const uint16_t headSize = le16(head + 5);
    if (headSize < 7) break;
    uint32_t packed = 0;
    if (flags & 0x8000) {
      if (got < 11) break;
      packed = le32(head + 7);
    }
    const long next = position + long(headSize) + long(packed);
    if (next <= position || next > fileSize) break;
    if (type == 0x74) {
      if (got < kFileHeaderSize || headSize < kFileHeaderSize) break;
      DirectoryEntry e;
      e.header = datafiles::decodeFileHeader(head);
      const uint16_t nameSize = e.header.nameSize;
      if (kFileHeaderSize + nameSize > headSize) break;
      std::vector<uint8_t> whole(headSize);
      std::copy(head, head + kFileHeaderSize, whole.begin());
      if (std::fread(whole.data() + kFileHeaderSize, 1, headSize - kFileHeaderSize, file.get()) !=
          size_t(headSize - kFileHeaderSize))
        break;
      e.name.assign(whole.begin() + kFileHeaderSize, whole.begin() + kFileHeaderSize + nameSize);
      e.headerCrcOk = (datafiles::crc32(whole.data() + 2, headSize - 2) & 0xFFFF) == e.header.headCrc;
      dir.members.push_back(std::move(e));
    }
    position = next;
  }
  dir.error = "is damaged or cut short after " + std::to_string(dir.members.size()) + " member(s)";
  return dir;
}

std::string methodName(uint8_t method) {
  static const char* names[] = {"stored", "fastest", "fast", "normal", "good", "best"};
  if (method >= 0x30 && method <= 0x35) return names[method - 0x30];
  char text[16];
  std::snprintf(text, sizeof text, "0x%02X", method);
  return text;
}

}  // namespace archivetool
