#include "datafiles/ArchiveReader.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "datafiles/ArchiveReaderState.h"
#include "datafiles/Crc32.h"
#include "platform/FileAccess.h"

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
constexpr uint16_t kContinuesSolid = 0x0010;
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

bool seekTo(std::FILE* f, int64_t pos) { return pos >= 0 && platform::fileSeek(f, pos, SEEK_SET); }

// ---- The block decoder shared by extractMember and the walk ----

enum class StartResult { Ok, NotAnArchive, MainHeaderCut };

// The marker and the main header at the start of the archive; the position is left after them.
StartResult readArchiveStart(ArchiveReaderState& state) {
  std::FILE* f = state.archive;
  uint8_t marker[kMarkerSize];
  if (!seekTo(f, 0) || std::fread(marker, 1, kMarkerSize, f) != kMarkerSize) return StartResult::NotAnArchive;
  if (std::memcmp(marker, kRarMarker, kMarkerSize) != 0 && std::memcmp(marker, kAltMarker, kMarkerSize) != 0)
    return StartResult::NotAnArchive;
  uint8_t raw[kMainHeaderSize];
  if (std::fread(raw, 1, kMainHeaderSize, f) != kMainHeaderSize) return StartResult::MainHeaderCut;
  state.mainHeader = parseMainHeader(raw);
  return StartResult::Ok;
}

enum class ScanResult { End, FileHeader, SubBlock, Damaged };

struct ScanOptions {
  bool passSubBlocks = false;  // the walk passes over sub-blocks; extractMember stops at them
  bool wholeHeader = false;    // read the whole header: the stored name and the header CRC
  int64_t archiveSize = -1;    // when known: blocks must end within it
};

// Walks blocks from the current position to the next file header (or sub-block). At a file header
// the member's name is read and the position is left after it (after the whole header with
// `wholeHeader`). A block with a headSize below 7, a header cut short by the end of the archive,
// or a file header too small for its own name is damage. A block header shorter than 32 bytes at
// the very end of the archive is a block of its own when it is not a file header and holds its
// fields. At the end, at damage and at a sub-block, the file header read before is kept and the
// position moves back to the block's start.
ScanResult findNextFileHeader(ArchiveReaderState& state, const ScanOptions& options) {
  const ArchiveFileHeader kept = state.fileHeader;
  std::FILE* f = state.archive;
  uint8_t raw[kFileHeaderSize];
  ScanResult result = ScanResult::End;
  for (;;) {
    state.blockStart = platform::fileTell(f);
    const size_t got = std::fread(raw, 1, kFileHeaderSize, f);
    if (got == 0) break;  // the end of the archive
    if (got < 7) {
      result = ScanResult::Damaged;
      break;
    }
    const ArchiveFileHeader h = parseFileHeader(raw);
    const bool dataArea = (h.flags & kHasDataArea) != 0;
    if (h.headSize < 7 || (got < kFileHeaderSize && (h.headType == kFileBlock || h.headSize > got ||
                                                     (dataArea && got < 11)))) {
      result = ScanResult::Damaged;
      break;
    }
    state.nextBlockStart = state.blockStart + h.headSize + (dataArea ? int64_t(h.packSize) : 0);
    if (options.archiveSize >= 0 && state.nextBlockStart > options.archiveSize) {
      result = ScanResult::Damaged;
      break;
    }
    if (h.headType == kFileBlock) {
      if (h.headSize < kFileHeaderSize + h.nameSize) {
        result = ScanResult::Damaged;
        break;
      }
      char name[kMaxNameLength + 1] = {};
      const size_t nameLength = h.nameSize < kMaxNameLength ? h.nameSize : kMaxNameLength;
      if (std::fread(name, 1, nameLength, f) != nameLength) {
        result = ScanResult::Damaged;
        break;
      }
      if (options.wholeHeader) {
        std::vector<uint8_t> whole(h.headSize);
        std::memcpy(whole.data(), raw, kFileHeaderSize);
        std::memcpy(whole.data() + kFileHeaderSize, name, nameLength);
        const size_t rest = h.headSize - kFileHeaderSize - nameLength;
        if (std::fread(whole.data() + kFileHeaderSize + nameLength, 1, rest, f) != rest) {
          result = ScanResult::Damaged;
          break;
        }
        state.storedName.assign(reinterpret_cast<const char*>(whole.data()) + kFileHeaderSize, h.nameSize);
        state.headerCrcOk = (crc32(whole.data() + 2, whole.size() - 2) & 0xFFFF) == h.headCrc;
      }
      state.fileHeader = h;
      state.currentName = name;  // up to the first zero byte
      return ScanResult::FileHeader;
    }
    if (h.headType == kSubBlock && !options.passSubBlocks) {
      result = ScanResult::SubBlock;
      break;
    }
    if (!seekTo(f, state.nextBlockStart)) {
      result = ScanResult::Damaged;
      break;
    }
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

// ---- The window ----

// One window per thread, lent to one call at a time: allocating and clearing 1 MiB for every
// call would cost more than most calls do.
thread_local std::unique_ptr<uint8_t[]> threadWindow;
thread_local uint32_t threadWindowDirty = 0;

// Lends the thread's window to `state` for one call and takes it back at the end. The window is
// zeroed where a stream starts: the decoder clears it itself for a member that starts a stream;
// a member that continues one but is the first decoded since the stream state was last fresh
// (the first of a call, say) finds it cleared here.
class WindowLease {
 public:
  explicit WindowLease(ArchiveReaderState& state) : state_(state) {}
  ~WindowLease() {
    if (state_.window) {
      threadWindow = std::move(state_.window);
      threadWindowDirty = state_.windowDirty;
    }
  }
  WindowLease(const WindowLease&) = delete;
  WindowLease& operator=(const WindowLease&) = delete;

  // Before a member is decompressed. False when no window can be had.
  bool prepare(bool continuesStream) {
    if (!state_.window) {
      state_.window = std::move(threadWindow);
      state_.windowDirty = threadWindowDirty;
      if (!state_.window) {
        state_.window.reset(new (std::nothrow) uint8_t[kWindowSize]);
        state_.windowDirty = kWindowSize;
      }
      if (!state_.window) return false;
    }
    if (continuesStream && !streamStarted_) clearWindow(state_);
    streamStarted_ = true;
    return true;
  }
  // The decoder state is fresh again (a new record): the next continuing member finds zeros.
  void forgetStream() { streamStarted_ = false; }

 private:
  ArchiveReaderState& state_;
  bool streamStarted_ = false;
};

// ---- Members ----

// Sets up the packed input of the current member, its cipher and the decoder's byte count, and
// moves to its data.
bool startMember(ArchiveReaderState& state) {
  const ArchiveFileHeader& h = state.fileHeader;
  state.cipherVersion = 0;
  if (!state.passPhrase.empty() && (h.flags & kEnciphered)) {
    state.cipherVersion = h.unpVer;
    prepareCipher(state.cipher, state.passPhrase);
  }
  state.packedLeft = h.packSize;
  state.decoder.bytesToProduce = h.unpSize;
  // The packed data starts after the whole header, which may hold more than the name.
  return seekTo(state.archive, state.blockStart + h.headSize);
}

// Decodes (or, when it is stored and passed over, skips) the current member. For the member asked
// for, true when its whole content arrived and matches its CRC-32.
bool processMember(ArchiveReaderState& state, WindowLease& window) {
  const ArchiveFileHeader& h = state.fileHeader;
  if (h.unpVer < kMinVersion || h.unpVer > kMaxVersion) return false;
  if (!startMember(state)) return false;
  if (h.method == kStoredMethod) {
    if (state.output) copyStoredMember(state);
  } else {
    if (!window.prepare((h.flags & kContinuesSolid) != 0)) return false;
    decompressMember(state);
  }
  if (!state.output) return true;
  return state.delivered == h.unpSize && crc32(state.output, h.unpSize) == h.fileCrc;
}

struct OutputGuard {
  uint8_t*& output;
  ~OutputGuard() {
    std::free(output);
    output = nullptr;
  }
};

int64_t archiveSizeOf(std::FILE* f) {
  if (!platform::fileSeek(f, 0, SEEK_END)) return -1;
  return platform::fileTell(f);
}

// Allocates the output of the current member when its size can come from its packed data.
bool allocateOutput(ArchiveReaderState& state, int64_t archiveSize, MemberOutcome* why = nullptr) {
  const ArchiveFileHeader& h = state.fileHeader;
  const int64_t dataStart = state.blockStart + h.headSize;
  if (!isPlausibleSize(h, uint64_t(archiveSize > dataStart ? archiveSize - dataStart : 0))) {
    if (why) *why = MemberOutcome::ImplausibleSize;
    return false;
  }
  state.output = static_cast<uint8_t*>(std::malloc(h.unpSize > 0 ? h.unpSize : 1));
  if (!state.output) {
    if (why) *why = MemberOutcome::OutOfMemory;
    return false;
  }
  state.delivered = 0;
  return true;
}

// The steps after the archive is open; on success the output buffer is handed over in `data`.
bool extractFromOpenArchive(ArchiveReaderState& state, uint8_t*& data, uint32_t& size) {
  std::FILE* f = state.archive;
  if (readArchiveStart(state) != StartResult::Ok) return false;
  const int64_t archiveSize = archiveSizeOf(f);
  if (archiveSize < 0) return false;
  if (!seekTo(f, int64_t(kMarkerSize) + state.mainHeader.headSize)) return false;

  WindowLease window(state);
  const std::string wanted = foldName(state.memberName);
  const bool solid = (state.mainHeader.flags & kSolidArchive) != 0;
  OutputGuard guard{state.output};
  for (;;) {
    if (findNextFileHeader(state, ScanOptions{}) != ScanResult::FileHeader) return false;
    if (foldName(state.currentName) == wanted) {
      state.found = true;
      if (!allocateOutput(state, archiveSize)) return false;
    }
    if (solid || state.found) {
      if (!processMember(state, window)) return false;
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

void setPassPhrase(ArchiveReaderState& state, const char* passPhrase) {
  wipe(state.passPhrase);
  if (passPhrase) state.passPhrase.assign(passPhrase, strnlen(passPhrase, kMaxPassPhraseLength));
}

int extract(ArchiveReaderState& state, const std::string& memberName, const char* passPhrase,
            uint8_t*& data, uint32_t& size) {
  data = nullptr;
  size = 0;
  (void)crcTable();
  state.memberName = memberName.substr(0, kMaxNameLength);
  setPassPhrase(state, passPhrase);
  const bool ok = extractFromOpenArchive(state, data, size);
  wipe(state.passPhrase);
  state.cipher = MemberCipher();
  return ok ? 1 : 0;
}

// The walk over an open archive (see walkArchive).
WalkResult walkOpenArchive(ArchiveReaderState& state, const WalkOptions& options,
                           const std::function<bool(const WalkedMember&)>& visit) {
  WalkResult result;
  std::FILE* f = state.archive;
  switch (readArchiveStart(state)) {
    case StartResult::NotAnArchive: result.end = WalkEnd::NotAnArchive; return result;
    case StartResult::MainHeaderCut: result.end = WalkEnd::DamagedMainHeader; return result;
    case StartResult::Ok: break;
  }
  if (state.mainHeader.headSize < kMainHeaderSize) {
    result.end = WalkEnd::DamagedMainHeader;
    return result;
  }
  result.solid = (state.mainHeader.flags & kSolidArchive) != 0;
  const int64_t archiveSize = archiveSizeOf(f);
  if (archiveSize < 0 || !seekTo(f, int64_t(kMarkerSize) + state.mainHeader.headSize)) {
    result.end = WalkEnd::Damaged;
    result.error = errno;
    return result;
  }

  WindowLease window(state);
  OutputGuard guard{state.output};
  bool asked = false;
  // In a solid archive: whether the decoder holds the stream as the member before left it.
  bool streamCarried = true;
  const ScanOptions scan{true, true, archiveSize};
  for (size_t index = 0;; ++index) {
    const ScanResult found = findNextFileHeader(state, scan);
    if (found == ScanResult::End) break;
    if (found != ScanResult::FileHeader) {
      result.end = WalkEnd::Damaged;
      result.damageOffset = state.blockStart;
      return result;
    }
    const ArchiveFileHeader& h = state.fileHeader;
    WalkedMember member;
    member.index = index;
    member.blockStart = state.blockStart;
    member.header = h;
    member.name = state.storedName;
    member.headerCrcOk = state.headerCrcOk;
    const bool wanted = options.decode && (!options.wanted || options.wanted(member));
    const bool compressed = h.method != kStoredMethod;
    const bool continues = (h.flags & kContinuesSolid) != 0;
    // A solid stream runs through every compressed member, asked for or not.
    const bool carry = options.decode && result.solid && compressed;
    MemberOutcome outcome = MemberOutcome::NotDecoded;
    if (wanted || carry) {
      if (h.unpVer < kMinVersion || h.unpVer > kMaxVersion) {
        outcome = MemberOutcome::UnsupportedVersion;
        if (carry) streamCarried = false;
      } else if (carry && continues && !streamCarried) {
        outcome = MemberOutcome::StreamBroken;
      } else {
        if ((h.flags & kEnciphered) && state.passPhrase.empty() && options.askPassPhrase && !asked) {
          asked = true;
          const std::string answer = options.askPassPhrase();
          setPassPhrase(state, answer.c_str());
        }
        const bool needsPhrase = (h.flags & kEnciphered) && state.passPhrase.empty();
        bool produce = wanted;
        if (needsPhrase) {
          outcome = MemberOutcome::NeedsPassPhrase;
          produce = false;
        } else if (wanted && !allocateOutput(state, archiveSize, &outcome)) {
          produce = false;
        }
        if (produce || carry) {
          if (!result.solid && continues && compressed) {
            // Outside a solid archive a member is decoded on its own, as extractMember does.
            state.decoder = MemberDecoder();
            window.forgetStream();
          }
          if (!startMember(state)) {
            result.end = WalkEnd::Damaged;
            result.error = errno;
            result.damageOffset = state.blockStart;
            return result;
          }
          if (!compressed) {
            if (state.output) copyStoredMember(state);
          } else {
            if (!window.prepare(continues)) {
              if (produce) outcome = MemberOutcome::OutOfMemory;
              produce = false;
              streamCarried = false;
            } else {
              decompressMember(state);
              if (!continues) streamCarried = true;
            }
          }
          if (produce) {
            const bool ok = state.delivered == h.unpSize && crc32(state.output, h.unpSize) == h.fileCrc;
            outcome = ok ? MemberOutcome::Ok : MemberOutcome::CrcMismatch;
            if (ok) {
              member.data = state.output;
              member.size = state.delivered;
            }
          }
        }
      }
    }
    member.outcome = wanted ? outcome : MemberOutcome::NotDecoded;
    ++result.members;
    const bool goOn = visit(member);
    std::free(state.output);
    state.output = nullptr;
    if (!goOn) {
      result.end = WalkEnd::Stopped;
      return result;
    }
    if (!seekTo(f, state.nextBlockStart)) {
      result.end = WalkEnd::Damaged;
      result.error = errno;
      result.damageOffset = state.nextBlockStart;
      return result;
    }
  }
  return result;
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
  std::FILE* archive = platform::openFile(archivePath, "rb");
  const int result = extractMember(memberName, archive, passPhrase, data, size);
  if (archive) std::fclose(archive);
  return result;
}

WalkResult walkArchive(std::FILE* archive, const WalkOptions& options,
                       const std::function<bool(const WalkedMember&)>& visit) {
  (void)crcTable();
  // The record holds the decoder's tables and input buffer: too big for small thread stacks.
  const std::unique_ptr<ArchiveReaderState> state = std::make_unique<ArchiveReaderState>();
  state->archive = archive;
  setPassPhrase(*state, options.passPhrase.c_str());
  const WalkResult result = walkOpenArchive(*state, options, visit);
  wipe(state->passPhrase);
  state->cipher = MemberCipher();
  return result;
}

WalkResult walkArchive(const std::string& archivePath, const WalkOptions& options,
                       const std::function<bool(const WalkedMember&)>& visit) {
  std::FILE* archive = platform::openFile(archivePath, "rb");
  if (!archive) {
    WalkResult result;
    result.end = WalkEnd::CannotOpen;
    result.error = errno;
    return result;
  }
  const WalkResult result = walkArchive(archive, options, visit);
  std::fclose(archive);
  return result;
}

std::string describeOutcome(MemberOutcome outcome, bool enciphered) {
  switch (outcome) {
    case MemberOutcome::NotDecoded: return "not checked";
    case MemberOutcome::Ok: return "ok";
    case MemberOutcome::UnsupportedVersion: return "unsupported version";
    case MemberOutcome::NeedsPassPhrase: return "enciphered: needs a pass phrase";
    case MemberOutcome::ImplausibleSize: return "damaged header: its size cannot come from its packed data";
    case MemberOutcome::OutOfMemory: return "not enough memory for its content";
    case MemberOutcome::CrcMismatch:
      return enciphered ? "wrong pass phrase or damaged data" : "damaged data (CRC-32 mismatch)";
    case MemberOutcome::StreamBroken: return "continues a solid stream broken at an earlier member";
  }
  return "unknown failure";
}

ArchiveFileHeader decodeFileHeader(const uint8_t* bytes) { return parseFileHeader(bytes); }

std::string foldMemberName(const std::string& name) { return foldName(name); }

}  // namespace datafiles
