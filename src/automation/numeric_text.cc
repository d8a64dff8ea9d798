// SPDX-License-Identifier: Apache-2.0
#include "automation/numeric_text.h"

#include <algorithm>
#include <string_view>

#include "usborva/automation_error.h"
#include "usborva/hex_digits.h"

namespace usborva::automation_internal {

namespace {

// Far beyond any exponent a double can use; keeps the arithmetic inside int64.
constexpr int64_t kExponentCap = 1'000'000'000;
constexpr uint64_t kWidestPattern = 0xFFFFFFFFu;

bool IsDecimalDigit(char16_t ch) { return ch >= u'0' && ch <= u'9'; }

int DigitValue(char16_t ch, int base) {
  const int value = HexDigitValue(ch);
  return value < base ? value : -1;
}

// "&H..." or "&O..." with the '&' already seen: every remaining character a digit of the base.
std::optional<NumericText> ParsePattern(std::u16string_view s) {
  if (s.empty()) return std::nullopt;
  int base = 0;
  if (s[0] == u'H' || s[0] == u'h') base = 16;
  if (s[0] == u'O' || s[0] == u'o') base = 8;
  s.remove_prefix(1);
  if (base == 0 || s.empty()) return std::nullopt;
  for (char16_t ch : s) {
    if (DigitValue(ch, base) < 0) return std::nullopt;
  }
  NumericText number;
  number.is_pattern = true;
  for (char16_t ch : s) {
    number.pattern = number.pattern * base + DigitValue(ch, base);
    if (number.pattern > kWidestPattern) throw AutomationError(error::kOverflow);
  }
  return number;
}

// Optional sign, then returns the position after the exponent (or npos when malformed).
size_t ParseExponent(std::u16string_view s, size_t i, int64_t& exponent) {
  bool negative = false;
  if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) negative = s[i++] == u'-';
  if (i == s.size() || !IsDecimalDigit(s[i])) return std::u16string_view::npos;
  for (; i < s.size() && IsDecimalDigit(s[i]); ++i) {
    exponent = std::min(exponent * 10 + (s[i] - u'0'), kExponentCap);
  }
  if (negative) exponent = -exponent;
  return i;
}

// Strips leading and trailing zeros, moving the trailing ones into the exponent.
void Normalize(NumericText& number) {
  std::string& digits = number.digits;
  size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) {
    digits.clear();
    number.exponent = 0;
    number.negative = false;
    return;
  }
  size_t last = digits.find_last_not_of('0');
  number.exponent += static_cast<int64_t>(digits.size() - 1 - last);
  digits = digits.substr(first, last - first + 1);
}

std::optional<NumericText> ParseDecimal(std::u16string_view s) {
  NumericText number;
  size_t i = 0;
  if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) number.negative = s[i++] == u'-';
  for (; i < s.size() && IsDecimalDigit(s[i]); ++i) number.digits.push_back(char(s[i]));
  int64_t fraction_digits = 0;
  if (i < s.size() && s[i] == u'.') {
    for (++i; i < s.size() && IsDecimalDigit(s[i]); ++i, ++fraction_digits) {
      number.digits.push_back(char(s[i]));
    }
  }
  if (number.digits.empty()) return std::nullopt;
  int64_t exponent = 0;
  if (i < s.size() && (s[i] == u'e' || s[i] == u'E')) {
    i = ParseExponent(s, i + 1, exponent);
    if (i == std::u16string_view::npos) return std::nullopt;
  }
  if (i != s.size()) return std::nullopt;
  number.exponent = exponent - fraction_digits;
  Normalize(number);
  return number;
}

}  // namespace

std::u16string_view TrimBlanks(std::u16string_view text) noexcept {
  auto is_blank = [](char16_t ch) {
    return ch == u' ' || ch == u'\t' || ch == u'\r' || ch == u'\n' || ch == u'\v' || ch == u'\f';
  };
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

std::optional<NumericText> ParseNumericText(const String& text) {
  const std::u16string_view s = TrimBlanks(text);
  if (!s.empty() && s[0] == u'&') return ParsePattern(s.substr(1));
  return ParseDecimal(s);
}

}  // namespace usborva::automation_internal
