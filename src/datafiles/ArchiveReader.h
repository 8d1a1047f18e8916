#pragma once
// Reading members out of the data archive: RAR version 2.0 blocks, members stored or compressed
// with the version 2.0 method, optionally enciphered with the version 2.0 cipher.
//
// Two ways in, over one block decoder:
// - `extractMember`, the program's way: one member found by its folded name. Every call is
//   self-contained and reentrant: it opens the archive, walks the blocks from the start to the
//   member asked for, produces its whole content, checks it against the recorded CRC-32 and
//   closes the archive. Nothing is cached between calls.
// - `walkArchive`, the archive tool's way: one pass over all blocks, every member handed to a
//   callback as it is reached (by position, whatever its name), a solid stream decoded once from
//   its start to its end.
//
// The decoder's 1 MiB window is kept per thread between calls and zeroed where a stream starts,
// so nothing from an earlier call reaches a member.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

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
  uint32_t fileTime = 0;  // DOS date and time, local time
  uint8_t unpVer = 0;
  uint8_t method = 0;  // 0x30 stored
  uint16_t nameSize = 0;
  uint32_t fileAttr = 0;
};

// The fields of the 32 header bytes at `bytes` (little-endian), as the block scan reads them.
ArchiveFileHeader decodeFileHeader(const uint8_t* bytes);

// A member name as lookups compare it: '\' and '/' become '_', a-z become A-Z.
std::string foldMemberName(const std::string& name);

// Finds `memberName` (compared after folding: '\' and '/' become '_', a-z become A-Z) in the
// archive at `archivePath` and hands over its content.
// Success: returns 1, `data` is a buffer of `size` bytes on the standard heap (release it with
// std::free; it is never null, even for an empty member). Failure: returns 0, `data` is null and
// `size` 0. Failures: the archive cannot be opened or does not start with an accepted marker, a
// damaged or cut-short block, the member is not found, a sub-block comes first, an unsupported
// version, sizes that cannot come from the packed data, or content that fails its CRC-32 (which is
// also how a wrong pass phrase shows). A null pass phrase counts as an empty one.
int extractMember(const std::string& memberName, const std::string& archivePath,
                  const char* passPhrase, uint8_t*& data, uint32_t& size);

// The same on an archive stream that is already open; the archive starts at offset 0 of the
// stream, which is left open. Used for in-memory archives (fmemopen).
int extractMember(const std::string& memberName, std::FILE* archive, const char* passPhrase,
                  uint8_t*& data, uint32_t& size);

// ---- The walk ----

// What became of one member in a walk.
enum class MemberOutcome {
  NotDecoded,          // not asked for (or a headers-only walk): nothing was checked
  Ok,                  // content produced in full and matching its CRC-32
  UnsupportedVersion,  // unpVer outside 13 to 20
  NeedsPassPhrase,     // enciphered, and no pass phrase was given
  ImplausibleSize,     // unpSize cannot come from the packed data the archive holds
  OutOfMemory,         // its content could not be allocated
  CrcMismatch,         // content decoded but differs from its CRC-32 (damage or wrong pass phrase)
  StreamBroken,        // continues a solid stream that an earlier member could not carry on
};

// A short English text for an outcome ("damaged data (CRC-32 mismatch)", ...); `enciphered`
// says whether a wrong pass phrase may be the cause.
std::string describeOutcome(MemberOutcome outcome, bool enciphered);

struct WalkedMember {
  size_t index = 0;        // position in the archive, from 0
  int64_t blockStart = 0;  // file offset of its header
  ArchiveFileHeader header;
  std::string name;        // as stored: every byte of it ('\' between folders; may hold anything)
  bool headerCrcOk = true;  // the low 16 bits of the header's CRC-32 match headCrc
  MemberOutcome outcome = MemberOutcome::NotDecoded;
  // The content, when the member was asked for and came out Ok; valid during the callback only.
  const uint8_t* data = nullptr;
  uint32_t size = 0;

  bool enciphered() const { return header.flags & 0x0004; }
  bool continuesSolid() const { return header.flags & 0x0010; }
};

struct WalkOptions {
  // Pass phrase of enciphered members (only its first 255 bytes count, as in extractMember).
  std::string passPhrase;
  // Asked once, at the first enciphered member that is decoded while `passPhrase` is empty (a
  // prompt, say); may be empty. Its answer is used for the rest of the walk.
  std::function<std::string()> askPassPhrase;
  // False: headers only, nothing is decoded (a listing).
  bool decode = true;
  // Which members to produce, asked with the header and name filled in; empty: all of them.
  // In a solid archive the members that are not asked for are still decoded (without output) to
  // carry the stream; elsewhere they are passed over by seeking.
  std::function<bool(const WalkedMember&)> wanted;
};

enum class WalkEnd {
  Complete,           // every block read up to the end of the archive
  Stopped,            // the callback asked to stop
  CannotOpen,         // `error` holds the errno
  NotAnArchive,       // no accepted marker at the start
  DamagedMainHeader,  // main header cut short or smaller than 13 bytes
  Damaged,            // a block header damaged or cut short, or a block reaching past the end
};

struct WalkResult {
  WalkEnd end = WalkEnd::Complete;
  int error = 0;             // errno for CannotOpen and read failures
  bool solid = false;        // main header flag 0x0008
  size_t members = 0;        // members handed to the callback
  int64_t damageOffset = 0;  // file offset of the block that ended a Damaged walk
};

// Walks the archive once from its start, handing each member to `visit` as it is reached; `visit`
// returns false to stop the walk. Blocks that are not file headers (sub-blocks included) are
// passed over. A file header whose name or data area reaches past the end of the archive ends the
// walk as Damaged without being handed over.
WalkResult walkArchive(std::FILE* archive, const WalkOptions& options,
                       const std::function<bool(const WalkedMember&)>& visit);
WalkResult walkArchive(const std::string& archivePath, const WalkOptions& options,
                       const std::function<bool(const WalkedMember&)>& visit);

}  // namespace datafiles
