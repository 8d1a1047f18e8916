#pragma once
// CRC-32 of IEEE 802.3 in its reflected form (polynomial 0xEDB88320), as the data archive records
// it for every member and as the member cipher uses its table to mix keys.
#include <array>
#include <cstddef>
#include <cstdint>

namespace datafiles {

using CrcTable = std::array<uint32_t, 256>;

// Fills `table`: for each byte value i, i shifted right eight times, combined with the polynomial
// whenever the bit shifted out is 1.
void buildCrcTable(CrcTable& table);

// The table built once for the whole process (immutable afterwards, safe from any thread).
const CrcTable& crcTable();

// Continues a running CRC over `count` bytes. A content check starts from 0xFFFFFFFF and compares
// the complement of the result; `crc32` does both steps.
uint32_t updateCrc(uint32_t crc, const void* bytes, size_t count);
uint32_t crc32(const void* bytes, size_t count);

}  // namespace datafiles
