#include "datafiles/MemberCipher.h"

#include <cstring>
#include <utility>

#include "datafiles/Crc32.h"

namespace datafiles {

namespace {

constexpr uint8_t kInitialSubstitution[256] = {
    0xD7, 0x13, 0x95, 0x23, 0x49, 0xC5, 0xC0, 0xCD, 0xF9, 0x1C, 0x10, 0x77, 0x30, 0xDD, 0x02, 0x2A,
    0xE8, 0x01, 0xB1, 0xE9, 0x0E, 0x58, 0xDB, 0x19, 0xDF, 0xC3, 0xF4, 0x5A, 0x57, 0xEF, 0x99, 0x89,
    0xFF, 0xC7, 0x93, 0x46, 0x5C, 0x42, 0xF6, 0x0D, 0xD8, 0x28, 0x3E, 0x1D, 0xD9, 0xE6, 0x56, 0x06,
    0x47, 0x18, 0xAB, 0xC4, 0x65, 0x71, 0xDA, 0x7B, 0x5D, 0x5B, 0xA3, 0xB2, 0xCA, 0x43, 0x2C, 0xEB,
    0x6B, 0xFA, 0x4B, 0xEA, 0x31, 0xA7, 0x7D, 0xD3, 0x53, 0x72, 0x9D, 0x90, 0x20, 0xC1, 0x8F, 0x24,
    0x9E, 0x7C, 0xF7, 0xBB, 0x59, 0xD6, 0x8D, 0x2F, 0x79, 0xE4, 0x3D, 0x82, 0xD5, 0xC2, 0xAE, 0xFB,
    0x61, 0x6E, 0x36, 0xE5, 0x73, 0x39, 0x98, 0x5E, 0x69, 0xF3, 0xD4, 0x37, 0xD1, 0xF5, 0x3F, 0x0B,
    0xA4, 0xC8, 0x1F, 0x9C, 0x51, 0xB0, 0xE3, 0x15, 0x4C, 0x63, 0x8B, 0xBC, 0x7F, 0x11, 0xF8, 0x33,
    0xCF, 0x78, 0xBD, 0xD2, 0x08, 0xE2, 0x29, 0x48, 0xB7, 0xCB, 0x87, 0xA5, 0xA6, 0x3C, 0x62, 0x07,
    0x7A, 0x26, 0x9B, 0xAA, 0x45, 0xAC, 0xFC, 0xEE, 0x27, 0x86, 0x3B, 0x80, 0xEC, 0x1B, 0xF0, 0x50,
    0x83, 0x03, 0x55, 0xCE, 0x91, 0x4F, 0x9A, 0x8E, 0x9F, 0xDC, 0xC9, 0x85, 0x4A, 0x40, 0x14, 0x81,
    0xE0, 0xB9, 0x8A, 0x67, 0xAD, 0xB6, 0x2B, 0x22, 0xFE, 0x52, 0xC6, 0x97, 0xE7, 0xB4, 0x3A, 0x0A,
    0x76, 0x1A, 0x66, 0x0C, 0x32, 0x84, 0x16, 0xBF, 0x88, 0x6F, 0xA2, 0xB3, 0x2D, 0x04, 0x94, 0x6C,
    0xA1, 0x38, 0x4E, 0x7E, 0xF2, 0xDE, 0x0F, 0xAF, 0x92, 0x17, 0x21, 0xF1, 0xB5, 0xBE, 0x4D, 0xE1,
    0x00, 0x2E, 0xA9, 0xBA, 0x44, 0x5F, 0xED, 0x41, 0x35, 0xD0, 0xFD, 0xA8, 0x09, 0x12, 0x64, 0x34,
    0x74, 0xB8, 0xA0, 0x60, 0x6D, 0x25, 0x1E, 0x6A, 0x8C, 0x68, 0x96, 0x05, 0xCC, 0x75, 0x70, 0x54,
};

constexpr uint32_t kInitialKeys[4] = {0xD3A3B879u, 0x3F6D12F7u, 0x7515A235u, 0xA4E7F123u};
constexpr int kRounds = 32;

uint32_t rotl(uint32_t v, int n) { return (v << n) | (v >> (32 - n)); }

uint32_t loadWord(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void storeWord(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

// Each byte of t through the substitution, in its own position.
uint32_t subst(const MemberCipher& c, uint32_t t) {
  const auto& s = c.substitution;
  return uint32_t(s[t & 0xFF]) | uint32_t(s[(t >> 8) & 0xFF]) << 8 |
         uint32_t(s[(t >> 16) & 0xFF]) << 16 | uint32_t(s[t >> 24]) << 24;
}

// The rounds in the given direction, then the output words in the order C, D, A, B. Running the
// rounds backwards undoes them because each round only XORs into the pair it moves.
void transformBlock(const MemberCipher& c, uint8_t* block, bool forward) {
  uint32_t a = loadWord(block) ^ c.keys[0];
  uint32_t b = loadWord(block + 4) ^ c.keys[1];
  uint32_t cc = loadWord(block + 8) ^ c.keys[2];
  uint32_t d = loadWord(block + 12) ^ c.keys[3];
  for (int i = 0; i < kRounds; ++i) {
    const uint32_t k = c.keys[(forward ? i : kRounds - 1 - i) & 3];
    const uint32_t newA = a ^ subst(c, (cc + rotl(d, 11)) ^ k);
    const uint32_t newB = b ^ subst(c, (d ^ rotl(cc, 17)) + k);
    a = cc;
    b = d;
    cc = newA;
    d = newB;
  }
  storeWord(block, cc ^ c.keys[0]);
  storeWord(block + 4, d ^ c.keys[1]);
  storeWord(block + 8, a ^ c.keys[2]);
  storeWord(block + 12, b ^ c.keys[3]);
}

}  // namespace

void mixKeys(MemberCipher& cipher, const uint8_t* block) {
  const CrcTable& crc = crcTable();
  for (int i = 0; i < 16; i += 4)
    for (int j = 0; j < 4; ++j) cipher.keys[j] ^= crc[block[i + j]];
}

void encipherBlock(MemberCipher& cipher, uint8_t* block) {
  transformBlock(cipher, block, true);
  mixKeys(cipher, block);
}

void decipherBlock(MemberCipher& cipher, uint8_t* block) {
  uint8_t enciphered[kCipherBlockSize];
  std::memcpy(enciphered, block, kCipherBlockSize);
  transformBlock(cipher, block, false);
  mixKeys(cipher, enciphered);
}

void encipherBlocks(MemberCipher& cipher, uint8_t* data, size_t count) {
  for (size_t i = 0; i + kCipherBlockSize <= count; i += kCipherBlockSize) encipherBlock(cipher, data + i);
}

void decipherBlocks(MemberCipher& cipher, uint8_t* data, size_t count) {
  for (size_t i = 0; i + kCipherBlockSize <= count; i += kCipherBlockSize) decipherBlock(cipher, data + i);
}

namespace {

// The key schedule: about 130,000 byte swaps for an eight-byte phrase, the same for every member.
void scheduleKeys(MemberCipher& cipher, std::string_view passPhrase) {
  for (int i = 0; i < 4; ++i) cipher.keys[i] = kInitialKeys[i];
  // A 256-byte buffer of zeros holding the phrase: the byte after an odd-length phrase is zero.
  uint8_t phrase[kMaxPassPhraseLength + 1] = {};
  const size_t n = passPhrase.size() < kMaxPassPhraseLength ? passPhrase.size() : kMaxPassPhraseLength;
  std::memcpy(phrase, passPhrase.data(), n);
  std::memcpy(cipher.substitution.data(), kInitialSubstitution, sizeof kInitialSubstitution);

  const CrcTable& crc = crcTable();
  auto& s = cipher.substitution;
  for (unsigned j = 0; j < 256; ++j) {
    for (size_t i = 0; i < n; i += 2) {
      const unsigned n2 = crc[(phrase[i + 1] + j) & 0xFF] & 0xFF;
      unsigned n1 = crc[(phrase[i] - j) & 0xFF] & 0xFF;
      for (unsigned k = 1; n1 != n2; ++k) {
        std::swap(s[n1], s[(n1 + i + k) & 0xFF]);
        n1 = (n1 + 1) & 0xFF;
      }
    }
  }
  for (size_t i = 0; i < n; i += kCipherBlockSize) encipherBlock(cipher, phrase + i);
}

// 64-bit FNV-1a over the phrase bytes the schedule uses, and their count.
uint64_t phraseDigest(std::string_view passPhrase) {
  const size_t n = passPhrase.size() < kMaxPassPhraseLength ? passPhrase.size() : kMaxPassPhraseLength;
  uint64_t h = 0xCBF29CE484222325ull ^ n;
  for (size_t i = 0; i < n; ++i) h = (h ^ uint8_t(passPhrase[i])) * 0x100000001B3ull;
  return h;
}

}  // namespace

void prepareCipher(MemberCipher& cipher, std::string_view passPhrase) {
  // The schedule's result for the last phrase of this thread, known by a digest (the phrase
  // itself is not kept): archives encipher every member under one phrase, so the swaps run once
  // per archive instead of once per member.
  struct Prepared {
    bool valid = false;
    uint64_t digest = 0;
    MemberCipher cipher;
  };
  thread_local Prepared last;
  const uint64_t digest = phraseDigest(passPhrase);
  if (!last.valid || last.digest != digest) {
    scheduleKeys(last.cipher, passPhrase);
    last.digest = digest;
    last.valid = true;
  }
  cipher = last.cipher;
}

}  // namespace datafiles
