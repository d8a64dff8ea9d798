// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_CONVERT_HEX_DIGITS_H_
#define USBORVA_CONVERT_HEX_DIGITS_H_

#include <cstdint>

#include "usborva/hex_digits.h"
#include "usborva/variant.h"

namespace usborva::convert::internal {

// Two upper-case digits per byte value, high nibble first: one load per byte when encoding.
struct HexPairTable {
  char16_t pairs[256][2];
};
inline constexpr HexPairTable kHexPairs = [] {
  HexPairTable table{};
  for (unsigned b = 0; b < 256; ++b) {
    table.pairs[b][0] = static_cast<char16_t>(HexDigit(b >> 4));
    table.pairs[b][1] = static_cast<char16_t>(HexDigit(b));
  }
  return table;
}();

// A pair (or a lone last digit) read as "&H" followed by it: hex digits only, else type
// mismatch (13).
uint8_t ReadHexPair(const char16_t* digits, size_t length);

}  // namespace usborva::convert::internal

#endif  // USBORVA_CONVERT_HEX_DIGITS_H_
