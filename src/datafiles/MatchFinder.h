#pragma once
// LZ77 match search for the archive compressor over the 1 MiB window of the version 2.0 method:
// hash chains on four-byte prefixes (longest match, nearest on ties), the latest position of every
// three-byte prefix (near three-byte matches), and the latest position of every two-byte prefix
// (the length-2 matches of the short-distance codes).
//
// Positions are indices into one caller-owned buffer that holds the window's history followed by
// the data being packed; the buffer must not move while the finder is in use.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace datafiles {

// Distances reach back at most this far (the decoder's window is 1 MiB).
constexpr uint32_t kMaxMatchDistance = (1u << 20) - 1;

struct MatchFinderSettings {
  unsigned chainDepth = 32;  // candidates looked at per search
  unsigned niceLength = 64;  // a match this long ends the search
  unsigned goodLength = 16;  // a match this long cuts the rest of the search to a quarter
  unsigned windowBits = 20;  // chains reach back 2^windowBits - 1 bytes (at most the window)
};

class MatchFinder {
 public:
  explicit MatchFinder(MatchFinderSettings settings);

  // Starts over on `data` (size bytes); positions are indices into it.
  void reset(const uint8_t* data, size_t size);

  // Goes on over `data` (size bytes), which holds the data given before at the same positions
  // followed by more: the chains are kept, and the last positions of the earlier data, which
  // lacked the bytes after them, are added in full. `data` may lie elsewhere than before.
  void extend(const uint8_t* data, size_t size);

  // Adds `position` to the chains without searching (needs two bytes after it).
  void insert(size_t position);

  struct Match {
    uint32_t length = 0;
    uint32_t distance = 0;
  };
  // Matches of 3 bytes or more, each longer and farther than the one before (a nearer match can
  // cost fewer bits than a longer far one); the last is the longest found.
  static constexpr unsigned kMaxMatches = 4;
  struct Matches {
    unsigned count = 0;
    Match list[kMaxMatches];
    const Match* longest() const { return count ? &list[count - 1] : nullptr; }
  };
  // Matches at `position` of at most `maxLength` bytes among earlier inserted positions, then
  // inserts `position`. `maxLength` must not reach past the end of the data.
  Matches findAndInsert(size_t position, uint32_t maxLength);

  // Distance to the latest earlier position with the same two bytes, 0 if none was inserted or
  // it lies more than 256 bytes back. Call before inserting `position`.
  uint32_t shortDistance(size_t position) const;

 private:
  uint32_t hash3(size_t position) const;
  uint32_t hash4(size_t position) const;
  // Table entries hold position + 1 + base_; anything at or below base_ is empty (from data
  // before the last reset).
  uint32_t stored(size_t position) const { return static_cast<uint32_t>(position + 1) + base_; }
  uint32_t entry(uint32_t value) const { return value > base_ ? value - base_ : 0; }  // position + 1
  // Takes base_ back to 0, keeping what the entries mean.
  void rebase();

  MatchFinderSettings settings_;
  size_t chainMask_;
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  uint32_t base_ = 0;
  std::vector<uint32_t> head_;  // latest position per hash (as stored())
  std::vector<uint32_t> chain_;  // previous position with the same hash, by position mod window
  std::vector<uint32_t> head3_;  // latest position per three-byte hash
  std::vector<uint32_t> last2_;  // latest position per two-byte prefix
};

}  // namespace datafiles
