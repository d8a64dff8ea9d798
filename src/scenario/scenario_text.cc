// SPDX-License-Identifier: Apache-2.0
#include "scenario/scenario_text.h"

#include <cstdint>

#include "scenario/values.h"
#include "usborva/convert.h"
#include "usborva/hex_digits.h"
#include "usborva/text_guard.h"
#include "usborva/utf8.h"

namespace usborva::scenario {
namespace {

// Characters a person cannot see, or that change how the text around them is shown.
bool Invisible(char32_t c) {
  return (c >= 0x80 && c <= 0x9F) || (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) ||
         (c >= 0x2066 && c <= 0x2069) || c == 0x2028 || c == 0x2029 || c == 0xFEFF;
}

void AppendByteEscape(uint8_t byte, std::string& out) {
  out += "\\x";
  AppendHexByte(out, byte);
}

// An ASCII byte, escaped where the language or a person's terminal needs it.
void AppendAscii(char c, std::string& out) {
  switch (c) {
    case '\\':
      out += "\\\\";
      return;
    case '"':
      out += "\\\"";
      return;
    case '\n':
      out += "\\n";
      return;
    case '\r':
      out += "\\r";
      return;
    case '\t':
      out += "\\t";
      return;
    case '\0':
      out += "\\0";
      return;
    default:
      break;
  }
  const auto byte = static_cast<uint8_t>(c);
  if (byte < 0x20 || byte == 0x7F) {
    AppendByteEscape(byte, out);
  } else {
    out.push_back(c);
  }
}

}  // namespace

std::string QuoteText(std::string_view utf8) {
  std::string out = "\"";
  out.reserve(utf8.size() + 2);
  for (size_t i = 0; i < utf8.size();) {
    const auto byte = static_cast<uint8_t>(utf8[i]);
    if (byte < 0x80) {
      AppendAscii(utf8[i++], out);
      continue;
    }
    const Utf8Step step = DecodeUtf8(utf8, i);
    if (!step.valid) {
      // \xHH is one byte of the text: each byte of a malformed run comes back as it was.
      for (size_t k = 0; k < step.length; ++k) {
        AppendByteEscape(static_cast<uint8_t>(utf8[i + k]), out);
      }
    } else if (Invisible(step.code_point)) {
      // A code unit below U+10000 is written back as its UTF-8: the same bytes.
      out += "\\u";
      AppendHexByte(out, static_cast<uint8_t>(step.code_point >> 8));
      AppendHexByte(out, static_cast<uint8_t>(step.code_point));
    } else {
      out.append(utf8.substr(i, step.length));
    }
    i += step.length;
  }
  out.push_back('"');
  return out;
}

std::string QuoteHostText(std::u16string_view text) {
  std::string utf8;
  utf8.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
      c = 0xFFFD;
    }
    if (c == 0xFFFD) {
      utf8.push_back('\xFF');
    } else {
      AppendUtf8(c, utf8);
    }
  }
  return QuoteText(utf8);
}

std::optional<std::string> QuoteCardText(std::span<const uint8_t> bytes) {
  std::string utf8;
  utf8.reserve(bytes.size());
  for (uint8_t byte : bytes) AppendUtf8(convert::ByteToChar(byte), utf8);
  Token token{utf8, true, 0, 0, 0};
  try {
    const std::vector<uint8_t> back = ReadCardText(token, "track");
    if (!std::equal(back.begin(), back.end(), bytes.begin(), bytes.end())) return std::nullopt;
  } catch (const LineError&) {
    return std::nullopt;
  }
  return QuoteText(utf8);
}

std::string HexText(std::span<const uint8_t> bytes) {
  if (bytes.empty()) return "\"\"";
  std::string out;
  out.reserve(2 * bytes.size());
  for (uint8_t byte : bytes) AppendHexByte(out, byte);
  return out;
}

std::string HexNumber(uint16_t value) {
  std::string out = "0x";
  AppendHexByte(out, static_cast<uint8_t>(value >> 8));
  AppendHexByte(out, static_cast<uint8_t>(value));
  return out;
}

std::string HexByte(uint8_t value) {
  std::string out = "0x";
  AppendHexByte(out, value);
  return out;
}

std::string DurationText(Milliseconds wait) {
  const int64_t ms = wait.count();
  if (ms >= 1000 && ms % 1000 == 0) return std::to_string(ms / 1000) + "s";
  return std::to_string(ms) + "ms";
}

std::string CommentLines(std::string_view text) {
  std::string out;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    const std::string line = Printable(text.substr(start, end - start));
    out += line.empty() ? "#\n" : "# " + line + "\n";
    start = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
  }
  return out;
}

}  // namespace usborva::scenario
