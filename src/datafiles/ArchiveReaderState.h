#pragma once
// The working record of one extractMember call or archive walk: archive stream, headers, block
// positions, output, window, packed input with its cipher, and the decoder. One record per call
// keeps the reader reentrant; in a solid archive it carries the decoder state from member to
// member.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "datafiles/ArchiveReader.h"
#include "datafiles/MemberCipher.h"
#include "datafiles/MemberDecoder.h"

namespace datafiles {

struct ArchiveReaderState {
  std::string memberName;  // asked for, at most kMaxNameLength bytes
  std::string passPhrase;  // at most kMaxPassPhraseLength bytes; wiped at the end of the call
  std::FILE* archive = nullptr;

  ArchiveMainHeader mainHeader;
  ArchiveFileHeader fileHeader;
  std::string currentName;  // of the current member as lookups see it: at most kMaxNameLength
                            // bytes, up to its first zero byte
  std::string storedName;   // every byte of it (read only when a walk asks for the whole header)
  bool headerCrcOk = true;  // ditto
  int64_t blockStart = 0;
  int64_t nextBlockStart = 0;
  bool found = false;

  uint8_t* output = nullptr;  // null for a member that is passed over
  uint32_t delivered = 0;
  // kWindowSize bytes. The reader borrows its thread's window for the length of a call and
  // zeroes it where a stream starts, so nothing of an earlier call shows through.
  std::unique_ptr<uint8_t[]> window;
  // How many bytes from the window's start may not be zero: the decoder raises it as it writes,
  // and zeroing the window clears only these.
  uint32_t windowDirty = 0;

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

// Zeroes the bytes of the window that may not be zero.
void clearWindow(ArchiveReaderState& state);

// Reads min(count, packedLeft) bytes of packed data from the archive, deciphering whole 16-byte
// blocks when the cipher version is 20 or more. Returns the count read (short at the archive's end).
size_t readPacked(ArchiveReaderState& state, uint8_t* destination, size_t count);

// The store copy of the current member into the output buffer; `delivered` says how much arrived
// and the result is whether it is the whole member.
// An enciphered member whose size is not a multiple of 16 is read in whole padded blocks and cut
// to its size, never writing past the output buffer.
bool copyStoredMember(ArchiveReaderState& state);

}  // namespace datafiles
