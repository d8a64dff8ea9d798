// SPDX-License-Identifier: Apache-2.0
#include "convert/text_escapes.h"

#include "usborva/hex_digits.h"

namespace usborva::convert {
namespace {

// The value of digits hex digits at text[pos]; -1 when they are not all there.
int ReadHexDigits(std::string_view text, size_t pos, size_t digits) {
  if (pos > text.size() || text.size() - pos < digits) return -1;
  int value = 0;
  for (size_t i = 0; i < digits; ++i) {
    const int digit = HexDigitValue(text[pos + i]);
    if (digit < 0) return -1;
    value = value * 16 + digit;
  }
  return value;
}

TextEscape Simple(char16_t value) { return TextEscape{2, value, false, nullptr}; }

TextEscape Refused(const char* problem) { return TextEscape{0, 0, false, problem}; }

TextEscape Numeric(std::string_view text, size_t backslash, bool wide) {
  const size_t digits = wide ? 4 : 2;
  const int value = ReadHexDigits(text, backslash + 2, digits);
  if (value < 0) {
    return Refused(wide ? "\\u needs four hexadecimal digits" : "\\x needs two hexadecimal digits");
  }
  return TextEscape{2 + digits, static_cast<char16_t>(value), wide, nullptr};
}

}  // namespace

TextEscape ReadTextEscape(std::string_view text, size_t backslash) {
  if (backslash + 1 >= text.size()) return Refused("a backslash ends the text");
  switch (text[backslash + 1]) {
    case '\\':
      return Simple(u'\\');
    case '"':
      return Simple(u'"');
    case 'n':
      return Simple(u'\n');
    case 'r':
      return Simple(u'\r');
    case 't':
      return Simple(u'\t');
    case '0':
      return Simple(u'\0');
    case 'x':
      return Numeric(text, backslash, false);
    case 'u':
      return Numeric(text, backslash, true);
    default:
      return Refused("unknown escape");
  }
}

}  // namespace usborva::convert
