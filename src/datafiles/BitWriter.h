#pragma once
// Bit output for the archive compressor: bits go to the most significant end of each byte first,
// the order in which the member decoder's `peekBits` takes them.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace datafiles {

class BitWriter {
 public:
  // Appends the low `count` bits of `value`, most significant first; `count` is 0 to 32.
  void write(uint32_t value, unsigned count) {
    if (count == 0) return;
    pending_ = (pending_ << count) | (value & ((uint64_t{1} << count) - 1));
    pendingBits_ += count;
    while (pendingBits_ >= 8) {
      pendingBits_ -= 8;
      bytes_.push_back(static_cast<uint8_t>(pending_ >> pendingBits_));
    }
    pending_ &= (uint64_t{1} << pendingBits_) - 1;
  }

  // Bits written so far.
  uint64_t bitCount() const { return uint64_t{bytes_.size()} * 8 + pendingBits_; }

  // Pads the last byte with zero bits and hands back all bytes; the writer is empty afterwards.
  std::vector<uint8_t> finish() {
    if (pendingBits_ > 0) write(0, 8 - pendingBits_);
    std::vector<uint8_t> out;
    out.swap(bytes_);
    pending_ = 0;
    pendingBits_ = 0;
    return out;
  }

 private:
  std::vector<uint8_t> bytes_;
  uint64_t pending_ = 0;
  unsigned pendingBits_ = 0;
};

}  // namespace datafiles
