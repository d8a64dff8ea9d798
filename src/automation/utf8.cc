// SPDX-License-Identifier: Apache-2.0
#include "usborva/utf8.h"

#include <string_view>

#include "usborva/variant.h"

namespace usborva {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

void AppendCodePoint(String& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
    return;
  }
  cp -= 0x10000;
  out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
  out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
}

// Length and lowest value of a sequence led by `lead`, 0 for a byte that cannot lead.
int SequenceLength(uint8_t lead, char32_t& min) {
  if (lead < 0x80) return min = 0, 1;
  if (lead >= 0xC2 && lead <= 0xDF) return min = 0x80, 2;
  if (lead >= 0xE0 && lead <= 0xEF) return min = 0x800, 3;
  if (lead >= 0xF0 && lead <= 0xF4) return min = 0x10000, 4;
  return 0;
}

// Decodes one sequence at utf8[i]; on malformed input consumes the maximal bad prefix
// (at least one byte) and yields U+FFFD, as the Unicode recommendation does.
char32_t DecodeOne(std::string_view utf8, size_t& i) {
  const uint8_t lead = static_cast<uint8_t>(utf8[i]);
  char32_t min = 0;
  const int length = SequenceLength(lead, min);
  ++i;
  if (length == 0) return kReplacement;
  if (length == 1) return lead;
  char32_t cp = lead & (0xFF >> (length + 1));
  for (int k = 1; k < length; ++k) {
    if (i >= utf8.size()) return kReplacement;
    const uint8_t next = static_cast<uint8_t>(utf8[i]);
    if ((next & 0xC0) != 0x80) return kReplacement;
    const char32_t candidate = (cp << 6) | (next & 0x3F);
    // Reject overlong forms, surrogates and values past U+10FFFF as early as the second byte.
    if (k == 1 && length >= 3) {
      const char32_t floor = candidate << (6 * (length - 2));
      const char32_t ceiling = floor | ((char32_t{1} << (6 * (length - 2))) - 1);
      if (ceiling < min || (floor >= 0xD800 && floor <= 0xDFFF) || floor > 0x10FFFF) {
        return kReplacement;
      }
    }
    cp = candidate;
    ++i;
  }
  return cp;
}

}  // namespace

Utf8Step DecodeUtf8(std::string_view utf8, size_t offset) {
  size_t next = offset;
  const char32_t cp = DecodeOne(utf8, next);
  const bool valid =
      !(cp == kReplacement && !(next - offset == 3 && utf8.substr(offset, 3) == "\xEF\xBF\xBD"));
  return Utf8Step{cp, next - offset, valid};
}

String Utf8ToString(std::string_view utf8) {
  String out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) AppendCodePoint(out, DecodeOne(utf8, i));
  return out;
}

void AppendUtf8(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::string StringToUtf8(const String& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (IsHighSurrogate(cp) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (IsHighSurrogate(cp) || IsLowSurrogate(cp)) {
      cp = kReplacement;  // a lone surrogate has no UTF-8 form
    }
    AppendUtf8(cp, out);
  }
  return out;
}

}  // namespace usborva
