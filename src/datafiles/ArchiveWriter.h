#pragma once
// Writes data archives in the format the program reads: RAR version 2.0 block headers, members
// stored (method 0x30) or compressed with the version 2.0 method (0x31 fastest to 0x35 best),
// optionally solid and optionally enciphered with the version 2.0 cipher. Archives written here
// extract byte for byte with `extractMember` and with other RAR 2.0 extractors.
//
// Usage:
//   datafiles::ArchiveOptions options;
//   options.solid = true;
//   options.passPhrase = "secret";
//   datafiles::ArchiveWriter writer(options);
//   writer.addMember("ballo.ob3", bytes);
//   writer.addMember("invsphere.ob3", moreBytes);
//   std::string error;
//   if (!writer.finishToFile("blow.job", &error)) { ... }
//
// The whole archive is built in memory; members are packed as they are added.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace datafiles {

// Audio mode: a predictive coding for sampled sound (8- or 16-bit PCM, 1 to 4 interleaved byte
// channels), chosen block by block.
enum class AudioMode {
  Off,        // never
  Automatic,  // per block, when a trial says it packs smaller than the dictionary coding
  Always,     // every block of 2 KiB or more, with the channel count that suits it best
};

constexpr int kStoreLevel = 0;    // members stored as they are
constexpr int kFastestLevel = 1;  // method 0x31
constexpr int kDefaultLevel = 3;  // method 0x33: at least 5 MB/s on one core
constexpr int kBestLevel = 5;     // method 0x35

struct ArchiveOptions {
  // One continuous compressed stream for all members (main header flag 0x0008; every member
  // after the first carries flag 0x0010). A solid archive stores no member: all are compressed.
  bool solid = false;
  // Empty: not enciphered. Otherwise every member is enciphered under it (flag 0x0004); only its
  // first 255 bytes count, as in the reader.
  std::string passPhrase;
  // kStoreLevel to kBestLevel. In a non-solid archive a member that would not shrink is stored.
  int level = kDefaultLevel;
  AudioMode audio = AudioMode::Automatic;
  // Called while a member is packed, after each block of 128 KiB, with the member's bytes packed
  // so far and its size (for progress output). May be empty.
  std::function<void(size_t done, size_t size)> progress;
};

struct MemberOptions {
  // Modification time recorded in the member's DOS time field, local time; 0 means the DOS epoch
  // (1980-01-01 00:00), which makes archives reproducible.
  std::time_t modified = 0;
};

// What the writer recorded for one member (for progress and listing output).
struct WrittenMember {
  std::string name;
  uint32_t unpackedSize = 0;
  uint32_t packedSize = 0;  // including cipher padding
  uint8_t method = 0;       // 0x30 stored, 0x31..0x35 compressed
  uint32_t crc = 0;
  bool audio = false;  // some block was packed in audio mode
};

class ArchiveWriter {
 public:
  explicit ArchiveWriter(ArchiveOptions options = {});
  ~ArchiveWriter();
  ArchiveWriter(const ArchiveWriter&) = delete;
  ArchiveWriter& operator=(const ArchiveWriter&) = delete;

  // Packs one member. `name` is stored as given, with '/' turned into the archive's separator
  // '\'. Throws std::invalid_argument for an empty name, a name over 259 bytes, content of 4 GiB
  // or more, or a call after finish.
  void addMember(const std::string& name, const uint8_t* data, size_t size,
                 const MemberOptions& member = {});
  void addMember(const std::string& name, const std::vector<uint8_t>& content,
                 const MemberOptions& member = {});

  // Members added so far; in a solid archive the last one's packed size is final only after
  // `finish`.
  const std::vector<WrittenMember>& members() const;

  // Completes the archive and hands back its bytes; the writer takes no more members.
  std::vector<uint8_t> finish();
  // The same, written to `path` (through a new file beside it, renamed over it when complete).
  // On failure returns false with a message and its reason in `error` (if given) and leaves no
  // partial file behind; an earlier file at `path` stays as it was.
  bool finishToFile(const std::string& path, std::string* error = nullptr);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace datafiles
