// SPDX-License-Identifier: Apache-2.0
#include "host/property_literal.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

#include "host/quoted_text.h"
#include "usborva/hex_digits.h"

namespace usborva::host {
namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto fold = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

std::string FormatDouble(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Inf" : "Inf";
  char buffer[64];
  const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string text(buffer, result.ptr);
  if (text.find_first_of(".e") == std::string::npos) text += ".0";
  return text;
}

std::string FormatBytes(const ByteArray& bytes) {
  std::string text = "Bytes(";
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0) text += ' ';
    AppendHexByte(text, bytes[i]);
  }
  return text + ")";
}

// A whole signed decimal integer within [low, high].
std::optional<int64_t> ParseInteger(std::string_view text, int64_t low, int64_t high,
                                    std::string* reason) {
  text = TrimBlanks(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error == std::errc::invalid_argument || end != text.data() + text.size()) {
    *reason = "not a whole number";
    return std::nullopt;
  }
  if (error == std::errc::result_out_of_range || value < low || value > high) {
    *reason = "number out of range";
    return std::nullopt;
  }
  return value;
}

std::optional<double> ParseDouble(std::string_view text, std::string* reason) {
  text = TrimBlanks(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (EqualsIgnoringCase(text, "Inf")) {
    return negative ? -std::numeric_limits<double>::infinity()
                    : std::numeric_limits<double>::infinity();
  }
  if (EqualsIgnoringCase(text, "NaN")) return std::numeric_limits<double>::quiet_NaN();
  // from_chars would also take "inf" spellings and hex; only plain decimals reach it.
  if (text.empty() || text.front() == '+' || text.front() == '-' ||
      text.find_first_not_of("0123456789.eE+-") != std::string_view::npos) {
    *reason = "not a number";
    return std::nullopt;
  }
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) {
    *reason = error == std::errc::result_out_of_range ? "number out of range" : "not a number";
    return std::nullopt;
  }
  return negative ? -value : value;
}

std::optional<Variant> ParseBytes(std::string_view text, std::string* reason) {
  ByteArray bytes;
  int high = -1;
  for (const char c : text) {
    if (c == ' ' || c == '\t') continue;
    const int digit = HexDigitValue(c);
    if (digit < 0) {
      *reason = "not a hex byte";
      return std::nullopt;
    }
    if (high < 0) {
      high = digit;
    } else {
      bytes.push_back(static_cast<uint8_t>(high * 16 + digit));
      high = -1;
    }
  }
  if (high >= 0) {
    *reason = "odd number of hex digits";
    return std::nullopt;
  }
  return Variant::FromBytes(std::move(bytes));
}

// Name(argument) with the name in any case; the argument's text, or nullopt.
std::optional<std::string_view> CallArgument(std::string_view text, std::string_view name) {
  if (text.size() < name.size() + 2 || !EqualsIgnoringCase(text.substr(0, name.size()), name)) {
    return std::nullopt;
  }
  const std::string_view rest = TrimBlanks(text.substr(name.size()));
  if (rest.size() < 2 || rest.front() != '(' || rest.back() != ')') return std::nullopt;
  return rest.substr(1, rest.size() - 2);
}

std::optional<Variant> ParseCall(std::string_view text, std::string* reason) {
  if (const auto argument = CallArgument(text, "CInt")) {
    const auto value = ParseInteger(*argument, INT16_MIN, INT16_MAX, reason);
    if (value) return Variant::FromInteger(static_cast<int16_t>(*value));
  } else if (const auto argument = CallArgument(text, "CByte")) {
    const auto value = ParseInteger(*argument, 0, UINT8_MAX, reason);
    if (value) return Variant::FromByte(static_cast<uint8_t>(*value));
  } else if (const auto argument = CallArgument(text, "CLng")) {
    const auto value = ParseInteger(*argument, INT32_MIN, INT32_MAX, reason);
    if (value) return Variant::FromLong(static_cast<int32_t>(*value));
  } else if (const auto argument = CallArgument(text, "CDbl")) {
    const auto value = ParseDouble(*argument, reason);
    if (value) return Variant::FromDouble(*value);
  } else if (const auto argument = CallArgument(text, "Bytes")) {
    return ParseBytes(*argument, reason);
  } else {
    *reason = "not a value";
  }
  return std::nullopt;
}

std::optional<Variant> ParseKeyword(std::string_view text) {
  if (EqualsIgnoringCase(text, "True")) return Variant::FromBoolean(true);
  if (EqualsIgnoringCase(text, "False")) return Variant::FromBoolean(false);
  if (EqualsIgnoringCase(text, "Empty")) return Variant();
  if (EqualsIgnoringCase(text, "Null")) return Variant::Null();
  if (EqualsIgnoringCase(text, "Missing")) return Variant::Missing();
  if (EqualsIgnoringCase(text, "Inf")) {
    return Variant::FromDouble(std::numeric_limits<double>::infinity());
  }
  if (EqualsIgnoringCase(text, "NaN")) {
    return Variant::FromDouble(std::numeric_limits<double>::quiet_NaN());
  }
  return std::nullopt;
}

}  // namespace

std::string FormatLiteral(const Variant& value) {
  switch (value.type()) {
    case VarType::kEmpty:
      return "Empty";
    case VarType::kNull:
      return "Null";
    case VarType::kMissing:
      return "Missing";
    case VarType::kInteger:
      return "CInt(" + std::to_string(value.integer()) + ")";
    case VarType::kLong:
      return std::to_string(value.long_value());
    case VarType::kByte:
      return "CByte(" + std::to_string(value.byte()) + ")";
    case VarType::kBoolean:
      return value.boolean() ? "True" : "False";
    case VarType::kDouble:
      return FormatDouble(value.dbl());
    case VarType::kString:
      return Quote(value.string());
    case VarType::kByteArray:
      return FormatBytes(value.bytes());
  }
  return "Empty";
}

std::optional<Variant> ParseLiteral(std::string_view text, std::string* reason) {
  text = TrimBlanks(text);
  if (text.empty()) {
    *reason = "no value";
    return std::nullopt;
  }
  if (text.front() == '"') {
    size_t pos = 0;
    std::optional<String> string = ParseQuoted(text, pos);
    if (!string || pos != text.size()) {
      *reason = string ? "text after the closing quote" : "unreadable quoted text";
      return std::nullopt;
    }
    return Variant::FromString(std::move(*string));
  }
  if (std::optional<Variant> keyword = ParseKeyword(text)) return keyword;
  const char first = text.front();
  if ((first >= '0' && first <= '9') || first == '-' || first == '+' || first == '.') {
    if (text.find_first_of(".eEnNiI") == std::string_view::npos) {
      const auto value = ParseInteger(text, INT32_MIN, INT32_MAX, reason);
      if (!value) return std::nullopt;
      return Variant::FromLong(static_cast<int32_t>(*value));
    }
    const auto value = ParseDouble(text, reason);
    if (!value) return std::nullopt;
    return Variant::FromDouble(*value);
  }
  return ParseCall(text, reason);
}

}  // namespace usborva::host
