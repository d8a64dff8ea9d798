// SPDX-License-Identifier: Apache-2.0
// The sigil status travels as decimal digits packed two to a byte, so that its hex text
// reads as the number itself.
#include "usborva/protocol.h"

namespace usborva::protocol {

std::array<uint8_t, kSigilStatusLength> SigilStatusBytes(uint32_t value) {
  std::array<uint8_t, kSigilStatusLength> bytes{};
  for (size_t i = bytes.size(); i-- > 0;) {
    const uint32_t low = value % 10;
    value /= 10;
    const uint32_t high = value % 10;
    value /= 10;
    bytes[i] = static_cast<uint8_t>(high << 4 | low);
  }
  return bytes;
}

std::optional<int32_t> SigilStatusValue(std::span<const uint8_t> bytes) {
  if (bytes.size() != kSigilStatusLength) return std::nullopt;
  int32_t value = 0;
  for (uint8_t b : bytes) {
    const int high = b >> 4;
    const int low = b & 0x0F;
    if (high > 9 || low > 9) return std::nullopt;
    value = value * 100 + high * 10 + low;
  }
  return value;
}

}  // namespace usborva::protocol
