#pragma once
// The version 2.0 compression method as the archive writer uses it: LZ77 over a 1 MiB window with
// canonical prefix codes, and a predictive audio mode with 1 to 4 interleaved channels. Its state
// (window history, match history, code tables, audio predictors) carries from one member to the
// next of a solid stream, mirroring the member decoder step for step.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "datafiles/ArchiveWriter.h"

namespace datafiles {

class BitWriter;

class MemberCompressor {
 public:
  // `level` is kFastestLevel to kBestLevel.
  MemberCompressor(int level, AudioMode audio);
  ~MemberCompressor();
  MemberCompressor(const MemberCompressor&) = delete;
  MemberCompressor& operator=(const MemberCompressor&) = delete;

  // Packs `size` bytes into `out`.
  // `previous` null: the member starts a stream of its own (the decoder resets and reads code
  // tables first). Otherwise it continues the stream of the member packed last: `previous` (that
  // member's unfinished bit stream) is ended as by `endStream`, and this member's data opens with
  // a table change (the decoder keeps the tables in force across the member boundary, reads the
  // change code with them and then the new set).
  // `progress` (may be empty) hears of every block done: bytes of the member so far, its size.
  void compress(const uint8_t* data, size_t size, BitWriter* previous, BitWriter& out,
                const std::function<void(size_t, size_t)>& progress = {});

  // Ends the stream of the member packed last when no member continues it: a symbol that is no
  // table change (the decoder reads one symbol past a member's end, looking for a change) and a
  // few zero bytes for decoders that read ahead.
  void endStream(BitWriter& out);

  // Whether the last member packed had a block in audio mode.
  bool lastUsedAudio() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace datafiles
