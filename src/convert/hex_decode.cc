// SPDX-License-Identifier: Apache-2.0
#include <algorithm>

#include "convert/hex_digits.h"
#include "usborva/automation_error.h"
#include "usborva/convert.h"

namespace usborva::convert {

namespace {

// Every position the conversion's 16-bit counter visits, and the one after the last pair,
// must fit in 32,767: longer input overflows once the pairs it reached are read.
constexpr size_t kMaxHexTextLength = 32766;
constexpr size_t kLastCountablePosition = 32767;

}  // namespace

uint8_t internal::ReadHexPair(const char16_t* digits, size_t length) {
  int value = 0;
  for (size_t i = 0; i < length; ++i) {
    const int digit = HexDigitValue(digits[i]);
    if (digit < 0) throw AutomationError(error::kTypeMismatch);
    value = value * 16 + digit;
  }
  return static_cast<uint8_t>(value);
}

String HexToText(const String& hex) {
  const size_t reachable = std::min(hex.size(), kLastCountablePosition);
  String text;
  text.reserve((reachable + 1) / 2);
  for (size_t p = 0; p < reachable; p += 2) {
    const size_t length = std::min<size_t>(2, hex.size() - p);
    text.push_back(ByteToChar(internal::ReadHexPair(hex.data() + p, length)));
  }
  if (hex.size() > kMaxHexTextLength) throw AutomationError(error::kOverflow);
  return text;
}

void HexToBytesInto(const String& text, std::span<uint8_t> buffer) {
  char16_t pair[2];
  size_t pending = 0;
  size_t k = 0;
  auto store = [&] {
    const uint8_t value = internal::ReadHexPair(pair, pending);
    if (k >= buffer.size()) throw AutomationError(error::kSubscriptOutOfRange);
    buffer[k++] = value;
    pending = 0;
  };
  for (char16_t ch : text) {
    if (ch == u' ') continue;  // spaces are dropped wherever they stand, even inside a pair
    pair[pending++] = ch;
    if (pending == 2) store();
  }
  if (pending != 0) store();
}

ByteArray HexToBytes(const String& text, int32_t n) {
  ByteArray buffer(static_cast<size_t>(std::max(n, 0)), 0);
  HexToBytesInto(text, buffer);
  return buffer;
}

}  // namespace usborva::convert
