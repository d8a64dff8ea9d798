// SPDX-License-Identifier: Apache-2.0

#include "usborva/convert.h"

namespace usborva::convert {

namespace {

// Windows-1252 positions 0x80-0x9F. The five positions the code page leaves undefined map to
// the C1 control of the same value, as the system's own conversion does, so every byte has a
// character and every such character its byte.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

}  // namespace

char16_t ByteToChar(uint8_t byte) noexcept {
  if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
  return byte;
}

uint8_t CharToByte(char16_t ch) noexcept {
  if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF)) return static_cast<uint8_t>(ch);
  for (int i = 0; i < 32; ++i) {
    if (kHighControls[i] == ch) return static_cast<uint8_t>(0x80 + i);
  }
  return '?';
}

}  // namespace usborva::convert
