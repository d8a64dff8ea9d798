// SPDX-License-Identifier: Apache-2.0
#include <cstring>

#include "convert/hex_digits.h"
#include "convert/range_check.h"
#include "usborva/convert.h"

namespace usborva::convert {

using internal::kHexPairs;

void AppendHex(std::span<const uint8_t> bytes, char16_t* out) noexcept {
  for (uint8_t b : bytes) {
    std::memcpy(out, kHexPairs.pairs[b], sizeof kHexPairs.pairs[b]);
    out += 2;
  }
}

String BytesToHex(std::span<const uint8_t> buffer, int32_t start, int32_t count) {
  const std::span<const uint8_t> range = internal::CheckedRange(buffer, start, count);
  String text(range.size() * 2, u'\0');
  AppendHex(range, text.data());
  return text;
}

String BytesToHexSpaced(std::span<const uint8_t> buffer, int32_t start, int32_t count) {
  const std::span<const uint8_t> range = internal::CheckedRange(buffer, start, count);
  if (range.empty()) return String();
  String text(range.size() * 3 - 1, u' ');
  char16_t* out = text.data();
  for (uint8_t b : range) {
    std::memcpy(out, kHexPairs.pairs[b], sizeof kHexPairs.pairs[b]);
    out += 3;  // the space between pairs is already in place
  }
  return text;
}

String BytesToText(std::span<const uint8_t> buffer, int32_t start, int32_t count) {
  const std::span<const uint8_t> range = internal::CheckedRange(buffer, start, count);
  String text;
  text.reserve(range.size());
  for (uint8_t b : range) text.push_back(ByteToChar(b));
  return text;
}

String FormatReaderID(int16_t product_id) {
  const auto value = static_cast<uint16_t>(product_id);
  String text;
  for (int shift = 12; shift >= 0; shift -= 4) {
    const int digit = (value >> shift) & 0xF;
    if (digit != 0 || !text.empty() || shift <= 4) text.push_back(kHexPairs.pairs[digit][1]);
  }
  return text;
}

}  // namespace usborva::convert
