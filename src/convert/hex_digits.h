// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_CONVERT_HEX_DIGITS_H_
#define USBORVA_CONVERT_HEX_DIGITS_H_

#include <cstdint>

#include "usborva/variant.h"

namespace usborva::convert::internal {

// Two upper-case digits per byte value, high nibble first: one load per byte when encoding.
struct HexPairTable {
  char16_t pairs[256][2];
};
inline constexpr HexPairTable kHexPairs = [] {
  constexpr char kDigits[] = "0123456789ABCDEF";
  HexPairTable table{};
  for (int b = 0; b < 256; ++b) {
    table.pairs[b][0] = static_cast<char16_t>(kDigits[b >> 4]);
    table.pairs[b][1] = static_cast<char16_t>(kDigits[b & 0xF]);
  }
  return table;
}();

// Value of a hex digit in either case, -1 for any other character.
inline int HexDigitValue(char16_t ch) noexcept {
  if (ch >= u'0' && ch <= u'9') return ch - u'0';
  if (ch >= u'A' && ch <= u'F') return ch - u'A' + 10;
  if (ch >= u'a' && ch <= u'f') return ch - u'a' + 10;
  return -1;
}

// A pair (or a lone last digit) read as "&H" followed by it: hex digits only, else type
// mismatch (13).
uint8_t ReadHexPair(const char16_t* digits, size_t length);

}  // namespace usborva::convert::internal

#endif  // USBORVA_CONVERT_HEX_DIGITS_H_
