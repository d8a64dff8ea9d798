// SPDX-License-Identifier: Apache-2.0
#include "platform/hidraw/string_buffer.h"

namespace usborva::hidraw {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one sequence at text[*pos]; advances past it, or past one byte when invalid.
char32_t DecodeOne(std::string_view text, size_t* pos) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(*pos);
  size_t extra;
  char32_t code;
  char32_t minimum;
  if (lead < 0x80) {
    ++*pos;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    extra = 1, code = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, code = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, code = lead & 0x07, minimum = 0x10000;
  } else {
    ++*pos;
    return kReplacement;
  }
  if (text.size() - *pos <= extra) {
    ++*pos;
    return kReplacement;
  }
  for (size_t i = 1; i <= extra; ++i) {
    if ((byte(*pos + i) & 0xC0) != 0x80) {
      ++*pos;
      return kReplacement;
    }
    code = (code << 6) | (byte(*pos + i) & 0x3F);
  }
  // Overlong forms, surrogate code points and values past Unicode are not characters.
  if (code < minimum || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
    ++*pos;
    return kReplacement;
  }
  *pos += extra + 1;
  return code;
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string result;
  result.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    const char32_t code = DecodeOne(text, &pos);
    if (code >= 0x10000) {
      result.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
      result.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
    } else {
      result.push_back(static_cast<char16_t>(code));
    }
  }
  return result;
}

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
