#include "datafiles/ArchiveReader.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "datafiles/ArchiveReaderState.h"
#include "datafiles/Crc32.h"

namespace datafiles {

namespace {

constexpr size_t kMarkerSize = 7;
constexpr size_t kMainHeaderSize = 13;
constexpr size_t kFileHeaderSize = 32;
constexpr uint8_t kRarMarker[kMarkerSize] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
constexpr char kAltMarker[kMarkerSize + 1] = "KorbaX!";

constexpr uint8_t kFileBlock = 0x74;
constexpr uint8_t kSubBlock = 0x77;
constexpr uint16_t kSolidArchive = 0x0008;
constexpr uint16_t kEnciphered = 0x0004;
constexpr uint16_t kHasDataArea = 0x8000;
constexpr uint8_t kStoredMethod = 0x30;
constexpr uint8_t kMinVersion = 13;
constexpr uint8_t kMaxVersion = 20;

uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

ArchiveMainHeader parseMainHeader(const uint8_t* p) {
  ArchiveMainHeader h;
  h.headCrc = le16(p);
  h.headType = p[2];
  h.flags = le16(p + 3);
  h.headSize = le16(p + 5);
  h.reserved1 = le16(p + 7);
  h.reserved2 = le32(p + 9);
  return h;
}

ArchiveFileHeader parseFileHeader(const uint8_t* p) {
  ArchiveFileHeader h;
  h.headCrc = le16(p);
  h.headType = p[2];
  h.flags = le16(p + 3);
  h.headSize = le16(p + 5);
  h.packSize = le32(p + 7);
  h.unpSize = le32(p + 11);
  h.hostOs = p[15];
  h.fileCrc = le32(p + 16);
  h.fileTime = le32(p + 20);
  h.unpVer = p[24];
  h.method = p[25];
  h.nameSize = le16(p + 26);
  h.fileAttr = le32(p + 28);
  return h;
}

bool seekTo(std::FILE* f, int64_t pos) { return pos >= 0 && fseeko(f, off_t(pos), SEEK_SET) == 0; }

enum class ScanResult { Nothing, FileHeader, SubBlock };

// Walks blocks from the current position to the next file header or sub-block. At a file header
// the member's name is read and the position is left after it. A block with a headSize below 7, a
// header cut short by the end of the archive, or a file header too small for its own name ends the
// scan with nothing found.
ScanResult findNextFileHeader(ArchiveReaderState& state) {
  const ArchiveFileHeader kept = state.fileHeader;
  std::FILE* f = state.archive;
  uint8_t raw[kFileHeaderSize];
  ScanResult result = ScanResult::Nothing;
  for (;;) {
    state.blockStart = int64_t(ftello(f));
    const size_t got = std::fread(raw, 1, kFileHeaderSize, f);
    if (got == 0) break;  // the end of the archive
    if (got < kFileHeaderSize) return ScanResult::Nothing;
    const ArchiveFileHeader h = parseFileHeader(raw);
    if (h.headSize < 7) return ScanResult::Nothing;
    state.nextBlockStart = state.blockStart + h.headSize + ((h.flags & kHasDataArea) ? int64_t(h.packSize) : 0);
    if (h.headType == kFileBlock) {
      if (h.headSize < kFileHeaderSize + h.nameSize) return ScanResult::Nothing;
      char name[kMaxNameLength + 1] = {};
      const size_t nameLength = h.nameSize < kMaxNameLength ? h.nameSize : kMaxNameLength;
      if (std::fread(name, 1, nameLength, f) != nameLength) return ScanResult::Nothing;
      state.fileHeader = h;
      state.currentName = name;  // up to the first zero byte
      return ScanResult::FileHeader;
    }
    if (h.headType == kSubBlock) {
      result = ScanResult::SubBlock;
      break;
    }
    if (!seekTo(f, state.nextBlockStart)) return ScanResult::Nothing;
  }
  state.fileHeader = kept;
  seekTo(f, state.blockStart);
  return result;
}

// '\' and '/' become '_', a-z become A-Z; every other byte stays.
std::string foldName(const std::string& name) {
  std::string folded = name;
  for (char& c : folded) {
    if (c == '\\' || c == '/')
      c = '_';
    else if (c >= 'a' && c <= 'z')
      c = char(c - 'a' + 'A');
  }
  return folded;
}

// Decodes (or, when it is stored and passed over, skips) the current member. For the member asked
// for, true when its whole content arrived and matches its CRC-32.
bool processMember(ArchiveReaderState& state) {
  const ArchiveFileHeader& h = state.fileHeader;
  if (h.unpVer < kMinVersion || h.unpVer > kMaxVersion) return false;
  state.cipherVersion = 0;
  if (!state.passPhrase.empty() && (h.flags & kEnciphered)) {
    state.cipherVersion = h.unpVer;
    prepareCipher(state.cipher, state.passPhrase);
  }
  state.packedLeft = h.packSize;
  state.decoder.bytesToProduce = h.unpSize;
  // The packed data starts after the whole header, which may hold more than the name.
  if (!seekTo(state.archive, state.blockStart + h.headSize)) return false;
  if (h.method == kStoredMethod) {
    if (state.output) copyStoredMember(state);
  } else {
    decompressMember(state);
  }
  if (!state.output) return true;
  return state.delivered == h.unpSize && crc32(state.output, h.unpSize) == h.fileCrc;
}

struct OutputGuard {
  uint8_t*& output;
  ~OutputGuard() { std::free(output); }
};

// The steps after the archive is open; on success the output buffer is handed over in `data`.
bool extractFromOpenArchive(ArchiveReaderState& state, uint8_t*& data, uint32_t& size) {
  std::FILE* f = state.archive;
  uint8_t marker[kMarkerSize];
  if (!seekTo(f, 0) || std::fread(marker, 1, kMarkerSize, f) != kMarkerSize) return false;
  if (std::memcmp(marker, kRarMarker, kMarkerSize) != 0 && std::memcmp(marker, kAltMarker, kMarkerSize) != 0)
    return false;
  uint8_t raw[kMainHeaderSize];
  if (std::fread(raw, 1, kMainHeaderSize, f) != kMainHeaderSize) return false;
  state.mainHeader = parseMainHeader(raw);

  if (fseeko(f, 0, SEEK_END) != 0) return false;
  const int64_t archiveSize = int64_t(ftello(f));

  state.window.reset(new (std::nothrow) uint8_t[kWindowSize]());
  if (!state.window) return false;
  if (!seekTo(f, int64_t(kMarkerSize) + state.mainHeader.headSize)) return false;

  const std::string wanted = foldName(state.memberName);
  const bool solid = (state.mainHeader.flags & kSolidArchive) != 0;
  OutputGuard guard{state.output};
  for (;;) {
    if (findNextFileHeader(state) != ScanResult::FileHeader) return false;
    const ArchiveFileHeader& h = state.fileHeader;
    if (foldName(state.currentName) == wanted) {
      state.found = true;
      const int64_t dataStart = state.blockStart + h.headSize;
      if (!isPlausibleSize(h, uint64_t(archiveSize > dataStart ? archiveSize - dataStart : 0))) return false;
      state.output = static_cast<uint8_t*>(std::malloc(h.unpSize > 0 ? h.unpSize : 1));
      if (!state.output) return false;
      state.delivered = 0;
    }
    if (solid || state.found) {
      if (!processMember(state)) return false;
    }
    if (state.found) break;
    if (!seekTo(f, state.nextBlockStart)) return false;
  }
  data = state.output;
  size = state.delivered;
  state.output = nullptr;
  return true;
}

void wipe(std::string& secret) {
  volatile char* p = secret.data();
  for (size_t i = 0; i < secret.size(); ++i) p[i] = 0;
  secret.clear();
}

int extract(ArchiveReaderState& state, const std::string& memberName, const char* passPhrase,
            uint8_t*& data, uint32_t& size) {
  data = nullptr;
  size = 0;
  (void)crcTable();
  state.memberName = memberName.substr(0, kMaxNameLength);
  if (passPhrase) state.passPhrase.assign(passPhrase, strnlen(passPhrase, kMaxPassPhraseLength));
  const bool ok = extractFromOpenArchive(state, data, size);
  state.window.reset();
  wipe(state.passPhrase);
  state.cipher = MemberCipher();
  return ok ? 1 : 0;
}

}  // namespace

bool isPlausibleSize(const ArchiveFileHeader& h, uint64_t bytesInArchive) {
  const uint64_t packed = h.packSize < bytesInArchive ? h.packSize : bytesInArchive;
  if (h.method == kStoredMethod) return h.unpSize <= packed;
  return h.unpSize <= packed * kMaxBytesPerPackedByte;
}

size_t readPacked(ArchiveReaderState& state, uint8_t* destination, size_t count) {
  const size_t wanted = count < state.packedLeft ? count : state.packedLeft;
  const size_t got = wanted > 0 ? std::fread(destination, 1, wanted, state.archive) : 0;
  state.packedLeft -= uint32_t(got);
  if (state.cipherVersion >= 20) decipherBlocks(state.cipher, destination, got);
  return got;
}

bool copyStoredMember(ArchiveReaderState& state) {
  const uint32_t size = state.fileHeader.unpSize;
  const uint32_t rest = size % kCipherBlockSize;
  if (state.cipherVersion < 20 || rest == 0) {
    state.delivered = uint32_t(readPacked(state, state.output, size));
    return state.delivered == size;
  }
  // The last block is stored whole: decipher it in full and keep only the member's bytes.
  const uint32_t whole = size - rest;
  state.delivered = uint32_t(readPacked(state, state.output, whole));
  if (state.delivered != whole) return false;
  uint8_t last[kCipherBlockSize] = {};
  if (readPacked(state, last, kCipherBlockSize) != kCipherBlockSize) return false;
  std::memcpy(state.output + whole, last, rest);
  state.delivered = size;
  return true;
}

int extractMember(const std::string& memberName, std::FILE* archive, const char* passPhrase,
                  uint8_t*& data, uint32_t& size) {
  ArchiveReaderState state;
  state.archive = archive;
  if (!archive) {
    data = nullptr;
    size = 0;
    return 0;
  }
  return extract(state, memberName, passPhrase, data, size);
}

int extractMember(const std::string& memberName, const std::string& archivePath,
                  const char* passPhrase, uint8_t*& data, uint32_t& size) {
  std::FILE* archive = std::fopen(archivePath.c_str(), "rb");
  const int result = extractMember(memberName, archive, passPhrase, data, size);
  if (archive) std::fclose(archive);
  return result;
}

ArchiveFileHeader decodeFileHeader(const uint8_t* bytes) { return parseFileHeader(bytes); }

std::string foldMemberName(const std::string& name) { return foldName(name); }

}  // namespace datafiles
