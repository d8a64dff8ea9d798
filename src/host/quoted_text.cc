// SPDX-License-Identifier: Apache-2.0
#include "host/quoted_text.h"

#include <cstdint>

#include "convert/text_escapes.h"
#include "usborva/hex_digits.h"
#include "usborva/utf8.h"

namespace usborva::host {
namespace {

// Whether text[i] is half of a surrogate pair that is not whole.
bool IsLoneSurrogate(const String& text, size_t i) {
  const char16_t unit = text[i];
  if (IsHighSurrogate(unit)) return i + 1 >= text.size() || !IsLowSurrogate(text[i + 1]);
  if (IsLowSurrogate(unit)) return i == 0 || !IsHighSurrogate(text[i - 1]);
  return false;
}

bool NeedsEscape(const String& text, size_t i) {
  const char16_t unit = text[i];
  return unit == u'\\' || unit == u'"' || unit < 0x20 || unit == 0x7F || IsLoneSurrogate(text, i);
}

// The escape Quote writes for a unit that NeedsEscape.
void AppendEscape(char16_t unit, std::string& out) {
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
  } else {
    out += "\\u";
    AppendHexByte(out, static_cast<uint8_t>(unit >> 8));
  }
  AppendHexByte(out, static_cast<uint8_t>(unit));
}

// Where the run of plain UTF-8 bytes that starts at text[pos] ends: at a quote, a
// backslash, a raw line break or the end.
size_t PlainRunEnd(std::string_view text, size_t pos) {
  const size_t end = text.find_first_of("\"\\\n\r", pos);
  return end == std::string_view::npos ? text.size() : end;
}

}  // namespace

std::string Quote(const String& text) {
  std::string out = "\"";
  out.reserve(text.size() + 2);
  size_t plain = 0;  // start of the units not yet written
  for (size_t i = 0; i < text.size(); ++i) {
    if (!NeedsEscape(text, i)) continue;
    out += StringToUtf8(text.substr(plain, i - plain));
    AppendEscape(text[i], out);
    plain = i + 1;
  }
  out += StringToUtf8(text.substr(plain));
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
      const convert::TextEscape escape = convert::ReadTextEscape(text, i);
      if (escape.length == 0) return std::nullopt;
      out += escape.value;  // settings texts are UTF-16: \xHH is the unit U+00HH
      i += escape.length;
      continue;
    }
    // The quote, backslash and line breaks that end a run are ASCII, never part of a
    // sequence, so a run decodes exactly as it would in place.
    const size_t end = PlainRunEnd(text, i);
    out += Utf8ToString(text.substr(i, end - i));
    i = end;
  }
  return std::nullopt;
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
