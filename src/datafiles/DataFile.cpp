#include "datafiles/DataFile.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "datafiles/ArchiveReader.h"
#include "platform/FileAccess.h"

namespace datafiles {

namespace {

uint32_t loadLe32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

DataFile::DataFile() = default;

DataFile::DataFile(const std::string& name, const char* mode) { open(name, mode); }

DataFile::DataFile(const std::string& name, const char* mode, const std::string& archivePath,
                   const char* passPhrase) {
  open(name, mode, archivePath, passPhrase);
}

DataFile::~DataFile() { close(); }

void DataFile::open(const std::string& name, const char* mode) {
  open(name, mode, kDataArchivePath, kDataArchivePassPhrase);
}

void DataFile::open(const std::string& name, const char* mode, const std::string& archivePath,
                    const char* passPhrase) {
  close();
  openFailed = 0;
  std::string path = name;
  std::replace(path.begin(), path.end(), '\\', '/');
  file = platform::openFile(path, mode);
  if (file) {
    source = PlainFile;
    return;
  }
  const size_t slash = name.rfind('\\');
  const std::string memberName = slash == std::string::npos ? name : name.substr(slash + 1);
  uint8_t* data = nullptr;
  uint32_t dataSize = 0;
  if (extractMember(memberName, archivePath, passPhrase, data, dataSize)) {
    memberData = data;
    memberSize = dataSize;
    position = 0;
    source = ArchiveMember;
  } else {
    openFailed = 1;
    source = None;
  }
}

void DataFile::close() {
  if (file) std::fclose(file);
  std::free(memberData);
  file = nullptr;
  memberData = nullptr;
  position = 0;
  memberSize = 0;
  source = None;
}

uint32_t DataFile::size() {
  if (source == PlainFile) {
    const int64_t end = platform::fileLength(file);
    return end < 0 ? 0 : end > int64_t(UINT32_MAX) ? UINT32_MAX : uint32_t(end);
  }
  return source == ArchiveMember ? memberSize : 0;
}

uint32_t DataFile::tell() {
  if (source == PlainFile) {
    const int64_t here = platform::fileTell(file);
    return here < 0 ? 0 : here > int64_t(UINT32_MAX) ? UINT32_MAX : uint32_t(here);
  }
  return source == ArchiveMember ? position : 0;
}

void DataFile::seek(uint32_t pos) {
  if (source == PlainFile)
    platform::fileSeek(file, int64_t(pos), SEEK_SET);
  else if (source == ArchiveMember)
    position = pos;
}

bool DataFile::atEnd() {
  if (file) return std::feof(file) != 0;
  if (memberData) return position >= memberSize;
  return false;
}

void DataFile::readRaw(uint8_t* out, uint32_t n) {
  std::memset(out, 0, n);
  if (source == PlainFile) {
    // The value of a short read is not defined; the bytes not read stay zero.
    if (std::fread(out, 1, n, file) < n) return;
  } else if (source == ArchiveMember) {
    if (position < memberSize) std::memcpy(out, memberData + position, std::min(n, memberSize - position));
    position += n;
  }
}

char DataFile::readByte() {
  uint8_t b[1];
  readRaw(b, 1);
  return char(b[0]);
}

uint16_t DataFile::readWord() {
  uint8_t b[2];
  readRaw(b, 2);
  return uint16_t(b[0] | b[1] << 8);
}

uint32_t DataFile::readDword() {
  uint8_t b[4];
  readRaw(b, 4);
  return loadLe32(b);
}

float DataFile::readFloat() {
  const uint32_t bits = readDword();
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

uint32_t DataFile::readBytes(void* buffer, uint32_t n) {
  auto* out = static_cast<char*>(buffer);
  uint32_t stored = 0;
  while (stored < n && !atEnd()) out[stored++] = readByte();
  return stored;
}

std::string DataFile::readCString() {
  // Also stops at the end of the data, where the readers yield zero bytes.
  std::string text;
  for (char c = readByte(); c != 0; c = readByte()) text += c;
  return text;
}

std::string DataFile::readLine() {
  std::string text;
  while (!atEnd()) {
    const char c = readByte();
    if (c == '\n') break;
    // A plain file finds its end one read late: that last failed read is not data.
    if (c != '\r' && !(source == PlainFile && atEnd())) text += c;
  }
  return text;
}

void DataFile::writeRaw(const uint8_t* data, uint32_t n) {
  if (source == PlainFile) std::fwrite(data, 1, n, file);
}

void DataFile::writeByte(int value) {
  const uint8_t b = uint8_t(value);
  writeRaw(&b, 1);
}

void DataFile::writeWord(uint16_t value) {
  const uint8_t b[2] = {uint8_t(value), uint8_t(value >> 8)};
  writeRaw(b, 2);
}

void DataFile::writeDword(uint32_t value) {
  const uint8_t b[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
  writeRaw(b, 4);
}

void DataFile::writeFloat(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  writeDword(bits);
}

void DataFile::writeCString(const std::string& text) {
  for (const char c : text) writeByte(c);
  writeByte(0);
}

void DataFile::writeBytes(const void* data, uint32_t n) {
  const auto* p = static_cast<const uint8_t*>(data);
  for (uint32_t i = 0; i < n; ++i) writeByte(p[i]);
}

}  // namespace datafiles
