// SPDX-License-Identifier: Apache-2.0
#include "scenario/values.h"

#include <cctype>
#include <limits>
#include <utility>

#include "usborva/convert.h"
#include "usborva/hex_digits.h"
#include "usborva/text_guard.h"

namespace usborva::scenario {
namespace {

// A token as an error message quotes it: a mistyped line may hold a card number, a PIN
// block or a terminal's escape sequences.
std::string Shown(const Token& token) { return "'" + QuoteForMessage(token.text) + "'"; }

std::string Hex(int64_t value) {
  std::string text;
  do {
    text.insert(text.begin(), HexDigit(static_cast<unsigned>(value)));
    value >>= 4;
  } while (value != 0);
  return "0x" + text;
}

// Digits of the given base with no sign; false on anything else or on overflow.
bool ParseDigits(std::string_view digits, int base, int64_t& value) {
  if (digits.empty()) return false;
  value = 0;
  for (char c : digits) {
    const int d = HexDigitValue(c);
    if (d < 0 || d >= base) return false;
    if (value > (std::numeric_limits<int64_t>::max() - d) / base) return false;
    value = value * base + d;
  }
  return true;
}

}  // namespace

int64_t ReadInteger(const Token& token, int64_t min, int64_t max, std::string_view what) {
  std::string_view text = token.text;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) text.remove_prefix(1);
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  int64_t value = 0;
  if (token.quoted || !ParseDigits(hex ? text.substr(2) : text, hex ? 16 : 10, value)) {
    throw LineError(token,
                    "expected a number for the " + std::string(what) + ", got " + Shown(token));
  }
  if (negative) value = -value;
  if (value < min || value > max) {
    const bool show_hex = hex || max > 0xFF;
    const std::string low = show_hex && min >= 0 ? Hex(min) : std::to_string(min);
    const std::string high = show_hex ? Hex(max) : std::to_string(max);
    throw LineError(token, "the " + std::string(what) + " " + QuoteForMessage(token.text) +
                               " is out of range (" + low + " to " + high + ")");
  }
  return value;
}

uint8_t ReadByte(const Token& token, std::string_view what) {
  return static_cast<uint8_t>(ReadInteger(token, 0, 255, what));
}

std::vector<uint8_t> ReadHex(const Token& token, std::string_view what) {
  std::vector<uint8_t> bytes;
  int high = -1;
  for (char c : token.text) {
    if (c == ' ' && token.quoted) continue;
    const int d = HexDigitValue(c);
    if (d < 0) {
      throw LineError(token, "expected hexadecimal bytes for the " + std::string(what) + ", got " +
                                 Shown(token));
    }
    if (high < 0) {
      high = d;
    } else {
      bytes.push_back(static_cast<uint8_t>(high << 4 | d));
      high = -1;
    }
  }
  if (high >= 0) {
    throw LineError(token, "the " + std::string(what) + " " + Shown(token) +
                               " has an odd number of hex digits (two per byte)");
  }
  return bytes;
}

std::vector<uint8_t> ReadHexTokens(std::span<const Token> tokens, std::string_view what) {
  std::vector<uint8_t> bytes;
  for (const Token& token : tokens) {
    std::vector<uint8_t> part = ReadHex(token, what);
    bytes.insert(bytes.end(), part.begin(), part.end());
  }
  return bytes;
}

BytePattern ReadPattern(std::span<const Token> tokens, std::string_view what) {
  BytePattern pattern;
  for (const Token& token : tokens) {
    std::string pair;
    for (char c : token.text) {
      if (c == ' ' && token.quoted) continue;
      pair += c;
      if (pair.size() < 2) continue;
      if (pair == "??") {
        pattern.emplace_back(std::nullopt);
      } else if (IsHexDigit(pair[0]) && IsHexDigit(pair[1])) {
        pattern.emplace_back(
            static_cast<uint8_t>(HexDigitValue(pair[0]) << 4 | HexDigitValue(pair[1])));
      } else {
        throw LineError(token, "expected hexadecimal bytes (or ?? for any byte) for the " +
                                   std::string(what) + ", got " + Shown(token));
      }
      pair.clear();
    }
    if (!pair.empty()) {
      throw LineError(token, "the " + std::string(what) + " " + Shown(token) +
                                 " has an odd number of digits (two per byte; ?? for any byte)");
    }
  }
  return pattern;
}

Milliseconds ReadDuration(const Token& token) {
  std::string_view text = token.text;
  int64_t scale = 0;  // microseconds per unit
  static constexpr std::pair<std::string_view, int64_t> kUnits[] = {
      {"ms", 1000}, {"s", 1000000}, {"min", 60000000}, {"h", 3600000000}};
  for (const auto& [unit, micros_per_unit] : kUnits) {
    if (text.size() > unit.size() && text.ends_with(unit)) {
      scale = micros_per_unit;
      text.remove_suffix(unit.size());
      break;
    }
  }
  const std::string wrong =
      "expected a length of time such as 250ms, 1.5s, 2min or 1h, got " + Shown(token);
  if (token.quoted) throw LineError(token, wrong);
  if (scale == 0) {
    int64_t bare = 0;
    throw LineError(
        token, ParseDigits(text, 10, bare) ? wrong + " (give the unit: ms, s, min or h)" : wrong);
  }
  const size_t dot = text.find('.');
  int64_t whole = 0;
  int64_t fraction = 0;
  std::string_view fraction_digits = dot == std::string_view::npos ? "" : text.substr(dot + 1);
  if (!ParseDigits(text.substr(0, dot), 10, whole) || fraction_digits.size() > 6 ||
      (dot != std::string_view::npos && !ParseDigits(fraction_digits, 10, fraction)) ||
      whole > kMaxWait.count()) {
    throw LineError(token, wrong);
  }
  for (size_t i = fraction_digits.size(); i < 6; ++i) fraction *= 10;
  // Microseconds, rounded to whole milliseconds.
  const int64_t micros = whole * scale + fraction * scale / 1000000;
  const Milliseconds wait((micros + 500) / 1000);
  if (wait > kMaxWait) {
    throw LineError(token, "a wait is at most a day, got " + Shown(token));
  }
  return wait;
}

void CheckTextLength(const Token& token, std::string_view what) {
  if (token.text.size() > kMaxTextBytes) {
    throw LineError(token, "the " + std::string(what) + " is " + std::to_string(token.text.size()) +
                               " bytes; a text holds at most " + std::to_string(kMaxTextBytes));
  }
}

String ReadText(const Token& token, std::string_view what) {
  CheckTextLength(token, what);
  return Utf8ToString(token.text);
}

std::vector<uint8_t> ReadCardText(const Token& token, std::string_view what) {
  std::vector<uint8_t> bytes;
  for (char16_t c : Utf8ToString(token.text)) {
    const uint8_t byte = convert::CharToByte(c);
    if (byte == '?' && c != u'?') {
      throw LineError(token, "the " + std::string(what) +
                                 " holds a character the terminal cannot send "
                                 "(one byte per character, Windows-1252)");
    }
    bytes.push_back(byte);
  }
  return bytes;
}

bool ReadOnOff(const Token& token) {
  if (token.text == "on" && !token.quoted) return true;
  if (token.text == "off" && !token.quoted) return false;
  throw LineError(token, "expected on or off, got " + Shown(token));
}

}  // namespace usborva::scenario
