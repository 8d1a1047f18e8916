#pragma once
// The working record of one extractMember call: archive stream, headers, block positions,
// output, window, packed input with its cipher, and the decoder. One record per call keeps the
// reader reentrant; in a solid archive it carries the decoder state from member to member.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "datafiles/MemberCipher.h"
#include "datafiles/MemberDecoder.h"

namespace datafiles {

constexpr size_t kMaxNameLength = 259;

struct ArchiveMainHeader {
  uint16_t headCrc = 0;
  uint8_t headType = 0;
  uint16_t flags = 0;  // 0x0008: solid archive
  uint16_t headSize = 0;
  uint16_t reserved1 = 0;
  uint32_t reserved2 = 0;
};

// Every block is read through this 32-byte shape; for blocks other than file headers only
// headType, flags, headSize and packSize mean anything.
struct ArchiveFileHeader {
  uint16_t headCrc = 0;
  uint8_t headType = 0;  // 0x74 file header, 0x77 sub-block, others passed over
  uint16_t flags = 0;    // 0x0004 enciphered, 0x0010 continues the solid stream, 0x8000 data area
  uint16_t headSize = 0;
  uint32_t packSize = 0;
  uint32_t unpSize = 0;
  uint8_t hostOs = 0;
  uint32_t fileCrc = 0;
  uint32_t fileTime = 0;
  uint8_t unpVer = 0;
  uint8_t method = 0;  // 0x30 stored
  uint16_t nameSize = 0;
  uint32_t fileAttr = 0;
};

// The fields of the 32 header bytes at `bytes` (little-endian), as the block scan reads them.
ArchiveFileHeader decodeFileHeader(const uint8_t* bytes);

// A member name as lookups compare it: '\' and '/' become '_', a-z become A-Z.
std::string foldMemberName(const std::string& name);

struct ArchiveReaderState {
  std::string memberName;  // asked for, at most kMaxNameLength bytes
  std::string passPhrase;  // at most kMaxPassPhraseLength bytes; wiped at the end of the call
  std::FILE* archive = nullptr;

  ArchiveMainHeader mainHeader;
  ArchiveFileHeader fileHeader;
  std::string currentName;  // of the current member, at most kMaxNameLength bytes
  int64_t blockStart = 0;
  int64_t nextBlockStart = 0;
  bool found = false;

  uint8_t* output = nullptr;  // null for a member that is passed over
  uint32_t delivered = 0;
  std::unique_ptr<uint8_t[]> window;  // kWindowSize bytes

  // Packed input of the current member: bytes not yet read, and 0 or the cipher version.
  uint32_t packedLeft = 0;
  uint32_t cipherVersion = 0;
  MemberCipher cipher;

  MemberDecoder decoder;
};

// Whether a member's unpSize can come from its packed data: packSize, or the bytes the archive
// still holds after the header when that is less. A stored member holds no more than its packed
// bytes; a compressed one no more than 2,080 bytes per packed byte (one symbol costs at least a
// bit and yields at most 260 bytes). Checked before the output is allocated.
constexpr uint64_t kMaxBytesPerPackedByte = 260 * 8;
bool isPlausibleSize(const ArchiveFileHeader& header, uint64_t bytesInArchive);

// Reads min(count, packedLeft) bytes of packed data from the archive, deciphering whole 16-byte
// blocks when the cipher version is 20 or more. Returns the count read (short at the archive's end).
size_t readPacked(ArchiveReaderState& state, uint8_t* destination, size_t count);

// The store copy of the current member into the output buffer; `delivered` says how much arrived
// and the result is whether it is the whole member.
// An enciphered member whose size is not a multiple of 16 is read in whole padded blocks and cut
// to its size, never writing past the output buffer.
bool copyStoredMember(ArchiveReaderState& state);

}  // namespace datafiles
