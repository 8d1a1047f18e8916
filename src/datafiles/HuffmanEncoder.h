#pragma once
// Code building for the archive compressor: length-limited canonical prefix codes and the
// transmission of a table set's code lengths through the 19-symbol code-length code.
//
// Codes are canonical the way the member decoder assigns them: shorter codes first, and within
// one length in increasing symbol order, counting upward from all zero bits.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace datafiles {

class BitWriter;

constexpr unsigned kMaxCodeLength = 15;
constexpr size_t kCodeLengthSymbols = 19;

// Code lengths (1 to `maxLength`, 0 for an absent symbol) for the given symbol frequencies.
// Every code comes out complete: when fewer than two symbols occur, one or two unused symbols
// get a code as well, so that any decoder can build the table.
std::vector<uint8_t> buildCodeLengths(const uint32_t* frequencies, size_t count,
                                      unsigned maxLength = kMaxCodeLength);

// Canonical code values for `lengths` (a code of n bits is the low n bits of its value).
std::vector<uint16_t> canonicalCodes(const uint8_t* lengths, size_t count);

// How one table set's lengths go out: each length either as itself or as its difference, modulo
// 16, from the length in the same position of the previous set; runs of zeros (codes 17, 18) and
// repeats of the previous length (code 16) either way. Built by `planLengthSet`, which picks the
// shorter of the two forms.
struct LengthSetPlan {
  bool delta = false;                     // lengths sent as differences (header bit 0x4000)
  uint8_t codeLengths[kCodeLengthSymbols] = {};  // lengths of the code-length code
  std::vector<uint8_t> tokens;            // code-length symbols, 0 to 18
  std::vector<uint8_t> extras;            // extra bits value per token (runs only)
  uint64_t bits = 0;                      // 19 × 4 bits plus the tokens, without the header
};

// `previous` is null when the differences are not an option (a first set, or one of another
// kind or size).
LengthSetPlan planLengthSet(const uint8_t* lengths, const uint8_t* previous, size_t count);

// Writes the 19 four-bit code-length lengths and the tokens.
void writeLengthSet(BitWriter& out, const LengthSetPlan& plan);

}  // namespace datafiles
