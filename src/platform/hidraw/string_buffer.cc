// SPDX-License-Identifier: Apache-2.0
#include "platform/hidraw/string_buffer.h"

namespace usborva::hidraw {

bool CopyToStringBuffer(std::u16string_view text, void* buffer, uint32_t length) {
  const size_t capacity = length / 2;
  if (buffer == nullptr || capacity == 0) return false;
  auto* out = static_cast<uint8_t*>(buffer);
  const size_t count = text.size() < capacity ? text.size() : capacity;
  for (size_t i = 0; i < count; ++i) {
    out[2 * i] = static_cast<uint8_t>(text[i] & 0xFF);
    out[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
  }
  if (count < capacity) {
    out[2 * count] = 0;
    out[2 * count + 1] = 0;
  }
  return true;
}

}  // namespace usborva::hidraw
