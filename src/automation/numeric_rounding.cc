// SPDX-License-Identifier: Apache-2.0
#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

#include "automation/numeric_text.h"
#include "usborva/automation_error.h"

namespace usborva::automation_internal {

namespace {

// More integer digits than this cannot fit any target type (nor int64 arithmetic).
constexpr int64_t kMaxIntegerDigits = 18;
// Decimal orders of magnitude past which a double overflows or underflows whatever the digits.
constexpr int64_t kDoubleOrderLimit = 400;

int64_t PatternValue(uint64_t pattern, int pattern_bits) {
  if (pattern_bits > 0 && pattern_bits < 64 && pattern < (uint64_t{1} << pattern_bits) &&
      pattern >= (uint64_t{1} << (pattern_bits - 1))) {
    return static_cast<int64_t>(pattern) - (int64_t{1} << pattern_bits);
  }
  return static_cast<int64_t>(pattern);
}

}  // namespace

int64_t CheckRange(int64_t value, int64_t min, int64_t max) {
  if (value < min || value > max) throw AutomationError(error::kOverflow);
  return value;
}

int64_t NumericTextToInteger(const NumericText& number, int64_t min, int64_t max,
                             int pattern_bits) {
  if (number.is_pattern) return CheckRange(PatternValue(number.pattern, pattern_bits), min, max);
  const std::string& digits = number.digits;
  const int64_t size = static_cast<int64_t>(digits.size());
  const int64_t integer_digits = size + number.exponent;
  if (integer_digits > kMaxIntegerDigits) throw AutomationError(error::kOverflow);
  uint64_t magnitude = 0;
  for (int64_t k = 0; k < integer_digits; ++k) {
    magnitude = magnitude * 10 + (k < size ? digits[k] - '0' : 0);
  }
  if (integer_digits >= 0 && integer_digits < size) {
    const int first_dropped = digits[integer_digits] - '0';
    const bool more_dropped = integer_digits + 1 < size;  // never zeros: digits are trimmed
    if (first_dropped > 5 || (first_dropped == 5 && (more_dropped || magnitude % 2 == 1))) {
      ++magnitude;
    }
  }
  const int64_t value = static_cast<int64_t>(magnitude);
  return CheckRange(number.negative ? -value : value, min, max);
}

double NumericTextToDouble(const NumericText& number) {
  if (number.is_pattern) return static_cast<int32_t>(static_cast<uint32_t>(number.pattern));
  if (number.digits.empty()) return 0.0;
  const int64_t order = static_cast<int64_t>(number.digits.size()) + number.exponent;
  if (order > kDoubleOrderLimit) throw AutomationError(error::kOverflow);
  if (order < -kDoubleOrderLimit) return 0.0;
  const std::string text = number.digits + "e" + std::to_string(number.exponent);
  double value = 0.0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec == std::errc::result_out_of_range) {
    if (order > 0) throw AutomationError(error::kOverflow);
    return 0.0;
  }
  return number.negative ? -value : value;
}

int64_t RoundDoubleToInteger(double d, int64_t min, int64_t max) {
  if (!std::isfinite(d)) throw AutomationError(error::kOverflow);
  const double floor = std::floor(d);
  const double fraction = d - floor;  // exact for every double
  double rounded = floor;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(floor, 2.0) != 0.0)) rounded += 1.0;
  // Compared as doubles first: a huge value must not reach the int64 cast.
  if (rounded < static_cast<double>(min) || rounded > static_cast<double>(max)) {
    throw AutomationError(error::kOverflow);
  }
  return static_cast<int64_t>(rounded);
}

}  // namespace usborva::automation_internal
