// SPDX-License-Identifier: Apache-2.0
#include "host/quoted_text.h"

#include <cstdint>

namespace usborva::host {
namespace {

constexpr char16_t kReplacement = u'\uFFFD';
constexpr char kHex[] = "0123456789ABCDEF";

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void AppendUtf8(uint32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

void AppendUtf16(uint32_t cp, String& out) {
  if (cp < 0x10000) {
    out += static_cast<char16_t>(cp);
  } else {
    cp -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (cp >> 10));
    out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
  }
}

// Decodes one UTF-8 sequence at text[pos], advancing pos; an invalid, overlong, surrogate
// or truncated sequence consumes one byte and yields U+FFFD.
uint32_t NextCodePoint(std::string_view text, size_t& pos) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  const uint8_t lead = byte(pos);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  size_t length = 0;
  uint32_t cp = 0;
  uint32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, cp = lead & 0x1F, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, cp = lead & 0x0F, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, cp = lead & 0x07, minimum = 0x10000;
  }
  if (length == 0 || pos + length > text.size()) {
    ++pos;
    return kReplacement;
  }
  for (size_t i = 1; i < length; ++i) {
    if ((byte(pos + i) & 0xC0) != 0x80) {
      ++pos;
      return kReplacement;
    }
    cp = (cp << 6) | (byte(pos + i) & 0x3F);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++pos;
    return kReplacement;
  }
  pos += length;
  return cp;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads `digits` hex digits at text[pos]; -1 when they are not all there.
int32_t ReadHex(std::string_view text, size_t pos, size_t digits) {
  if (pos + digits > text.size()) return -1;
  int32_t value = 0;
  for (size_t i = 0; i < digits; ++i) {
    const int digit = HexValue(text[pos + i]);
    if (digit < 0) return -1;
    value = value * 16 + digit;
  }
  return value;
}

void AppendEscapedUnit(char16_t unit, std::string& out) {
  switch (unit) {
    case u'\\':
      out += "\\\\";
      return;
    case u'"':
      out += "\\\"";
      return;
    case u'\n':
      out += "\\n";
      return;
    case u'\r':
      out += "\\r";
      return;
    case u'\t':
      out += "\\t";
      return;
    case u'\0':
      out += "\\0";
      return;
    default:
      break;
  }
  if (unit < 0x20 || unit == 0x7F) {
    out += "\\x";
    out += kHex[unit >> 4];
    out += kHex[unit & 0xF];
  } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(unit >> shift) & 0xF];
  } else {
    AppendUtf8(unit, out);
  }
}

// One escape sequence after the backslash at text[pos]; appends its code unit and returns
// the length consumed including the backslash, or 0 when it is not a known escape.
size_t ReadEscape(std::string_view text, size_t pos, String& out) {
  if (pos + 1 >= text.size()) return 0;
  switch (text[pos + 1]) {
    case '\\':
      out += u'\\';
      return 2;
    case '"':
      out += u'"';
      return 2;
    case 'n':
      out += u'\n';
      return 2;
    case 'r':
      out += u'\r';
      return 2;
    case 't':
      out += u'\t';
      return 2;
    case '0':
      out += u'\0';
      return 2;
    case 'x': {
      const int32_t value = ReadHex(text, pos + 2, 2);
      if (value < 0) return 0;
      out += static_cast<char16_t>(value);
      return 4;
    }
    case 'u': {
      const int32_t value = ReadHex(text, pos + 2, 4);
      if (value < 0) return 0;
      out += static_cast<char16_t>(value);
      return 6;
    }
    default:
      return 0;
  }
}

}  // namespace

std::string Quote(const String& text) {
  std::string out = "\"";
  out.reserve(text.size() + 2);
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      AppendUtf8(0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00), out);
      ++i;
    } else {
      AppendEscapedUnit(unit, out);
    }
  }
  out += '"';
  return out;
}

std::optional<String> ParseQuoted(std::string_view text, size_t& pos) {
  if (pos >= text.size() || text[pos] != '"') return std::nullopt;
  String out;
  size_t i = pos + 1;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '"') {
      pos = i + 1;
      return out;
    }
    if (c == '\n' || c == '\r') return std::nullopt;
    if (c == '\\') {
      const size_t used = ReadEscape(text, i, out);
      if (used == 0) return std::nullopt;
      i += used;
      continue;
    }
    AppendUtf16(NextCodePoint(text, i), out);
  }
  return std::nullopt;
}

String DecodeUtf8(std::string_view utf8) {
  String out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) AppendUtf16(NextCodePoint(utf8, i), out);
  return out;
}

std::string EncodeUtf8ForDisplay(const String& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      AppendUtf8(0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00), out);
      ++i;
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      AppendUtf8(kReplacement, out);
    } else {
      AppendUtf8(unit, out);
    }
  }
  return out;
}

bool IsBareName(const String& text) {
  if (text.empty()) return false;
  constexpr std::u16string_view kMarks = u"_-.$%&@!()/+*?";
  for (const char16_t c : text) {
    const bool alnum =
        (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
    if (!alnum && kMarks.find(c) == std::u16string_view::npos) return false;
  }
  return true;
}

bool NamesEqual(const String& a, const String& b) {
  if (a.size() != b.size()) return false;
  const auto fold = [](char16_t c) -> char16_t {
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
  };
  for (size_t i = 0; i < a.size(); ++i) {
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

std::string_view TrimBlanks(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

}  // namespace usborva::host
