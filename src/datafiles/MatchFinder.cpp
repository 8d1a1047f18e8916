#include "datafiles/MatchFinder.h"

#include <algorithm>
#include <cstring>

namespace datafiles {

namespace {
constexpr unsigned kHashBits = 17;
constexpr unsigned kHash3Bits = 14;
// Three-byte matches are looked up among the latest position of each prefix only, and kept when
// near: farther ones rarely beat three literals.
constexpr size_t kMaxThreeByteDistance = 4096;
}  // namespace

MatchFinder::MatchFinder(MatchFinderSettings settings)
    : settings_(settings),
      chainMask_((size_t{1} << settings.windowBits) - 1),
      head_(size_t{1} << kHashBits),
      chain_(chainMask_ + 1),
      head3_(size_t{1} << kHash3Bits),
      last2_(65536) {}

void MatchFinder::reset(const uint8_t* data, size_t size) {
  // Entries of the data before hold at most base_ + size_: past the new base they read as empty,
  // so nothing needs clearing (clearing the tables for every small member would cost more than
  // packing it). Only when the base would run out of 32 bits do the tables start over.
  const uint64_t next = uint64_t(base_) + size_ + 1;
  if (next + size + 1 > UINT32_MAX) {
    std::fill(head_.begin(), head_.end(), 0);
    std::fill(chain_.begin(), chain_.end(), 0);
    std::fill(head3_.begin(), head3_.end(), 0);
    std::fill(last2_.begin(), last2_.end(), 0);
    base_ = 0;
  } else {
    base_ = uint32_t(next);
  }
  data_ = data;
  size_ = size;
}

void MatchFinder::rebase() {
  for (std::vector<uint32_t>* table : {&head_, &chain_, &head3_, &last2_})
    for (uint32_t& v : *table) v = entry(v);
  base_ = 0;
}

void MatchFinder::extend(const uint8_t* data, size_t size) {
  if (uint64_t(base_) + size + 1 > UINT32_MAX) rebase();
  const size_t before = size_;
  data_ = data;
  size_ = size;
  // Positions within three bytes of the old end went in without their four-byte prefix (and the
  // last two without the shorter ones). Adding them again only completes them: the prefixes they
  // had already get the same latest position, and none of them is in a chain yet.
  for (size_t p = before > 3 ? before - 3 : 0; p < before; ++p) insert(p);
}

uint32_t MatchFinder::hash3(size_t p) const {
  const uint32_t v = (uint32_t{data_[p]} << 16) | (uint32_t{data_[p + 1]} << 8) | data_[p + 2];
  return (v * 2654435761u) >> (32 - kHash3Bits);
}

uint32_t MatchFinder::hash4(size_t p) const {
  uint32_t v;
  std::memcpy(&v, data_ + p, 4);
  return (v * 2654435761u) >> (32 - kHashBits);
}

void MatchFinder::insert(size_t p) {
  if (p + 1 < size_) last2_[(data_[p] << 8) | data_[p + 1]] = stored(p);
  if (p + 2 >= size_) return;
  head3_[hash3(p)] = stored(p);
  if (p + 3 >= size_) return;
  uint32_t& head = head_[hash4(p)];
  chain_[p & chainMask_] = head;
  head = stored(p);
}

uint32_t MatchFinder::shortDistance(size_t p) const {
  if (p + 1 >= size_) return 0;
  const uint32_t latest = entry(last2_[(data_[p] << 8) | data_[p + 1]]);
  if (latest == 0) return 0;
  const size_t distance = p - (latest - 1);
  return distance <= 256 ? static_cast<uint32_t>(distance) : 0;
}

MatchFinder::Matches MatchFinder::findAndInsert(size_t p, uint32_t maxLength) {
  Matches found;
  auto record = [&](uint32_t length, size_t distance) {
    if (found.count == kMaxMatches) {
      std::copy(found.list + 1, found.list + kMaxMatches, found.list);
      --found.count;
    }
    found.list[found.count++] = Match{length, static_cast<uint32_t>(distance)};
  };
  if (maxLength >= 3 && p + 2 < size_) {
    const uint8_t* current = data_ + p;
    uint32_t bestLength = 2;
    const uint32_t near = entry(head3_[hash3(p)]);
    if (near != 0 && p - (near - 1) <= kMaxThreeByteDistance) {
      const uint8_t* earlier = data_ + near - 1;
      if (earlier[0] == current[0] && earlier[1] == current[1] && earlier[2] == current[2]) {
        uint32_t length = 3;
        while (length < maxLength && earlier[length] == current[length]) ++length;
        bestLength = length;
        record(length, p - (near - 1));
      }
    }
    uint32_t candidate = maxLength >= 4 && p + 3 < size_ && bestLength < maxLength &&
                                 bestLength < settings_.niceLength
                             ? entry(head_[hash4(p)])
                             : 0;
    unsigned depth = settings_.chainDepth;
    bool cut = false;
    while (candidate != 0 && depth-- > 0) {
      const size_t q = candidate - 1;
      const size_t distance = p - q;
      if (distance > chainMask_) break;
      const uint8_t* earlier = data_ + q;
      // The byte that would make this candidate longer than the best so far decides quickly.
      if (earlier[bestLength] == current[bestLength] && earlier[0] == current[0] &&
          earlier[1] == current[1]) {
        uint32_t length = 2;
        while (length < maxLength && earlier[length] == current[length]) ++length;
        if (length > bestLength) {
          bestLength = length;
          if (length >= 3) record(length, distance);
          if (length >= settings_.niceLength || length >= maxLength) break;
          if (length >= settings_.goodLength && !cut) {
            depth /= 4;
            cut = true;
          }
        }
      }
      candidate = entry(chain_[q & chainMask_]);
    }
  }
  insert(p);
  return found;
}

}  // namespace datafiles
