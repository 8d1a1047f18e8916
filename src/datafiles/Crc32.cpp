#include "datafiles/Crc32.h"

namespace datafiles {

namespace {

// Eight tables for slicing-by-8: slice[0] is the byte table, slice[k][i] is the CRC of byte i
// followed by k zero bytes. Same results as the byte-at-a-time update, about five times faster.
struct SlicedTables {
  uint32_t slice[8][256];
  SlicedTables() {
    CrcTable base;
    buildCrcTable(base);
    for (int i = 0; i < 256; ++i) slice[0][i] = base[i];
    for (int k = 1; k < 8; ++k)
      for (int i = 0; i < 256; ++i)
        slice[k][i] = (slice[k - 1][i] >> 8) ^ slice[0][slice[k - 1][i] & 0xFF];
  }
};

const SlicedTables& slicedTables() {
  static const SlicedTables tables;
  return tables;
}

}  // namespace

void buildCrcTable(CrcTable& table) {
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    table[i] = c;
  }
}

const CrcTable& crcTable() {
  static const CrcTable table = [] {
    CrcTable t;
    buildCrcTable(t);
    return t;
  }();
  return table;
}

uint32_t updateCrc(uint32_t crc, const void* bytes, size_t count) {
  const auto& t = slicedTables().slice;
  const auto* p = static_cast<const uint8_t*>(bytes);
  while (count >= 8) {
    // Words are assembled little-endian by hand so the result does not depend on the host order.
    const uint32_t lo = (uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24) ^ crc;
    const uint32_t hi = uint32_t(p[4]) | uint32_t(p[5]) << 8 | uint32_t(p[6]) << 16 | uint32_t(p[7]) << 24;
    crc = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
          t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
    p += 8;
    count -= 8;
  }
  while (count--) crc = t[0][(crc ^ *p++) & 0xFF] ^ (crc >> 8);
  return crc;
}

uint32_t crc32(const void* bytes, size_t count) { return ~updateCrc(0xFFFFFFFFu, bytes, count); }

}  // namespace datafiles
