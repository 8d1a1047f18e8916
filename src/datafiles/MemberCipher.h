#pragma once
// The archive's version 2.0 block cipher: 16-byte blocks, 32 Feistel-like rounds over four 32-bit
// little-endian words, a key-dependent byte substitution, and keys that change after every block
// (mixed with the CRC-32 table entries of the enciphered bytes). Both directions are here so the
// archive writer and the reader share one implementation.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace datafiles {

constexpr size_t kCipherBlockSize = 16;
// The pass phrase is used up to this many bytes; longer phrases are cut here.
constexpr size_t kMaxPassPhraseLength = 255;

struct MemberCipher {
  std::array<uint32_t, 4> keys{};
  std::array<uint8_t, 256> substitution{};
};

// Sets `keys` and `substitution` for one enciphered member from the pass phrase. Must run afresh
// for every member: the keys change with every block. The phrase's key schedule is remembered per
// thread for the last phrase (by a 64-bit digest, not the phrase), so a run of members under one
// phrase pays for it once.
void prepareCipher(MemberCipher& cipher, std::string_view passPhrase);

// One 16-byte block in place; both then mix the enciphered bytes into `keys`, so a writer and a
// reader that start from the same state stay in step.
void encipherBlock(MemberCipher& cipher, uint8_t* block);
void decipherBlock(MemberCipher& cipher, uint8_t* block);

// keys[j] ^= crcTable[block[i + j]] for i = 0, 4, 8, 12 and j = 0..3.
void mixKeys(MemberCipher& cipher, const uint8_t* block);

// Whole blocks of `count` bytes from the start of `data`; a trailing part shorter than a block is
// left as it is.
void encipherBlocks(MemberCipher& cipher, uint8_t* data, size_t count);
void decipherBlocks(MemberCipher& cipher, uint8_t* data, size_t count);

}  // namespace datafiles
