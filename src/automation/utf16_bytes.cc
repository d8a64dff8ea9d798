// SPDX-License-Identifier: Apache-2.0
#include "automation/utf16_bytes.h"

namespace usborva::automation_internal {

String BytesToUtf16(const ByteArray& bytes) {
  String text;
  text.reserve((bytes.size() + 1) / 2);
  size_t i = 0;
  for (; i + 1 < bytes.size(); i += 2) {
    text.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
  }
  if (i < bytes.size()) text.push_back(static_cast<char16_t>(bytes[i]));
  return text;
}

ByteArray Utf16ToBytes(const String& text) {
  ByteArray bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t unit : text) {
    bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<uint8_t>(unit >> 8));
  }
  return bytes;
}

}  // namespace usborva::automation_internal
