#include "datafiles/ArchiveWriter.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "datafiles/ArchiveWriterCompressor.h"
#include "datafiles/BitWriter.h"
#include "datafiles/Crc32.h"
#include "datafiles/MemberCipher.h"
#include "platform/FileAccess.h"

namespace datafiles {

namespace {

constexpr uint8_t kMarker[7] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
constexpr uint8_t kMainHeaderType = 0x73;
constexpr uint8_t kFileHeaderType = 0x74;
constexpr uint16_t kMainSolid = 0x0008;
constexpr uint16_t kFileEnciphered = 0x0004;
constexpr uint16_t kFileContinuesSolid = 0x0010;
constexpr uint16_t kFileDictionary1MiB = 0x0080;  // bits 5-7: dictionary size 1,024 KiB
constexpr uint16_t kFileHasData = 0x8000;
constexpr uint8_t kHostWin32 = 2;
constexpr uint8_t kVersion20 = 20;
constexpr uint8_t kMethodStored = 0x30;
constexpr uint32_t kAttributeArchive = 0x20;
constexpr size_t kMaxNameSize = 259;

void put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

// Fills in the header CRC: the low 16 bits of the CRC-32 of the header from its third byte.
void sealHeader(std::vector<uint8_t>& out, size_t headerStart) {
  const uint32_t crc = crc32(out.data() + headerStart + 2, out.size() - headerStart - 2);
  out[headerStart] = uint8_t(crc);
  out[headerStart + 1] = uint8_t(crc >> 8);
}

uint32_t dosTime(std::time_t t) {
  std::tm local{};
  if (t == 0 || !platform::localTime(t, local) || local.tm_year < 80 || local.tm_year > 207)
    return (1u << 21) | (1u << 16);  // 1980-01-01 00:00:00
  return (uint32_t(local.tm_year - 80) << 25) | (uint32_t(local.tm_mon + 1) << 21) |
         (uint32_t(local.tm_mday) << 16) | (uint32_t(local.tm_hour) << 11) |
         (uint32_t(local.tm_min) << 5) | uint32_t(local.tm_sec / 2);
}

}  // namespace

struct ArchiveWriter::State {
  ArchiveOptions options;
  std::vector<uint8_t> archive;
  std::vector<WrittenMember> members;
  MemberCompressor compressor;
  bool finished = false;

  // The member packed last, kept open in a solid archive so that the next member can end its bit
  // stream with the change to its own tables.
  struct Pending {
    bool open = false;
    std::string name;
    uint32_t fileTime = 0;
    uint16_t flags = 0;
    uint8_t method = 0;
    std::vector<uint8_t> stored;  // method 0x30: the content itself
    BitWriter bits;               // otherwise the packed stream
  } pending;

  explicit State(const ArchiveOptions& o)
      : options(o),
        compressor(o.level < kFastestLevel ? kFastestLevel : o.level > kBestLevel ? kBestLevel : o.level,
                   o.audio) {
    archive.assign(kMarker, kMarker + sizeof kMarker);
    const size_t start = archive.size();
    put16(archive, 0);
    archive.push_back(kMainHeaderType);
    put16(archive, options.solid ? kMainSolid : 0);
    put16(archive, 13);
    put16(archive, 0);
    put32(archive, 0);
    sealHeader(archive, start);
  }

  bool enciphered() const { return !options.passPhrase.empty(); }

  void closePending() {
    if (!pending.open) return;
    std::vector<uint8_t> packed =
        pending.method == kMethodStored ? std::move(pending.stored) : pending.bits.finish();
    if (enciphered()) {
      // Whole cipher blocks: the reader deciphers in 16-byte steps.
      packed.resize((packed.size() + kCipherBlockSize - 1) / kCipherBlockSize * kCipherBlockSize, 0);
      MemberCipher cipher;
      prepareCipher(cipher, options.passPhrase);
      encipherBlocks(cipher, packed.data(), packed.size());
    }
    WrittenMember& record = members.back();
    record.packedSize = uint32_t(packed.size());

    const size_t start = archive.size();
    put16(archive, 0);
    archive.push_back(kFileHeaderType);
    put16(archive, pending.flags);
    put16(archive, uint32_t(32 + pending.name.size()));
    put32(archive, record.packedSize);
    put32(archive, record.unpackedSize);
    archive.push_back(kHostWin32);
    put32(archive, record.crc);
    put32(archive, pending.fileTime);
    archive.push_back(kVersion20);
    archive.push_back(pending.method);
    put16(archive, uint32_t(pending.name.size()));
    put32(archive, kAttributeArchive);
    archive.insert(archive.end(), pending.name.begin(), pending.name.end());
    sealHeader(archive, start);
    archive.insert(archive.end(), packed.begin(), packed.end());
    pending.open = false;
  }

  void add(const std::string& name, const uint8_t* data, size_t size, const MemberOptions& member) {
    if (finished) throw std::invalid_argument("archive already finished");
    if (name.empty() || name.size() > kMaxNameSize)
      throw std::invalid_argument("member name must be 1 to 259 bytes: '" + name + "'");
    if (size > 0xFFFFFFFFu) throw std::invalid_argument("member of 4 GiB or more: " + name);

    const bool continues = options.solid && !members.empty();
    // The member before stays open until now: in a solid stream it receives the table change.
    Pending next;
    next.open = true;
    next.name = name;
    for (char& c : next.name)
      if (c == '/') c = '\\';
    next.fileTime = dosTime(member.modified);
    next.flags = kFileHasData | kFileDictionary1MiB | (enciphered() ? kFileEnciphered : 0) |
                 (continues ? kFileContinuesSolid : 0);

    WrittenMember record;
    record.name = next.name;
    record.unpackedSize = uint32_t(size);
    record.crc = crc32(data, size);

    const bool mayStore = !options.solid;
    if (mayStore && (options.level == kStoreLevel || size == 0)) {
      next.method = kMethodStored;
      next.stored.assign(data, data + size);
    } else {
      next.method = uint8_t(kMethodStored + (options.level < kFastestLevel ? kFastestLevel
                                             : options.level > kBestLevel ? kBestLevel
                                                                          : options.level));
      compressor.compress(data, size, continues ? &pending.bits : nullptr, next.bits,
                          options.progress);
      if (!options.solid) compressor.endStream(next.bits);
      record.audio = compressor.lastUsedAudio();
      if (mayStore && next.bits.bitCount() >= uint64_t{size} * 8) {
        // Packing did not pay: keep the bytes as they are.
        next.bits = BitWriter{};
        next.method = kMethodStored;
        next.stored.assign(data, data + size);
        record.audio = false;
      }
    }
    closePending();
    record.method = next.method;
    members.push_back(record);
    pending = std::move(next);
  }

  std::vector<uint8_t> finish() {
    if (finished) throw std::invalid_argument("archive already finished");
    if (options.solid && pending.open) compressor.endStream(pending.bits);
    closePending();
    finished = true;
    return std::move(archive);
  }
};

ArchiveWriter::ArchiveWriter(ArchiveOptions options)
    : state_(std::make_unique<State>(options)) {}
ArchiveWriter::~ArchiveWriter() = default;

void ArchiveWriter::addMember(const std::string& name, const uint8_t* data, size_t size,
                              const MemberOptions& member) {
  state_->add(name, data, size, member);
}

void ArchiveWriter::addMember(const std::string& name, const std::vector<uint8_t>& content,
                              const MemberOptions& member) {
  state_->add(name, content.data(), content.size(), member);
}

const std::vector<WrittenMember>& ArchiveWriter::members() const { return state_->members; }

std::vector<uint8_t> ArchiveWriter::finish() { return state_->finish(); }

bool ArchiveWriter::finishToFile(const std::string& path, std::string* error) {
  const std::vector<uint8_t> bytes = finish();
  std::string why;
  if (platform::replaceFile(path, bytes.data(), bytes.size(), why)) return true;
  if (error) *error = path + ": " + why;
  return false;
}

}  // namespace datafiles
