// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_AUTOMATION_NUMERIC_TEXT_H_
#define USBORVA_AUTOMATION_NUMERIC_TEXT_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "usborva/variant.h"

namespace usborva::automation_internal {

// A number as written in text, kept exactly so that rounding to an integer type sees every
// digit the host wrote (2.5000000001 rounds up even though no double holds it).
struct NumericText {
  // "&H" / "&O" text: an unsigned bit pattern whose width the target type decides.
  bool is_pattern = false;
  uint64_t pattern = 0;
  // Decimal text: value = (negative ? -1 : 1) * digits * 10^exponent, where digits has no
  // leading or trailing zeros ("" for zero).
  bool negative = false;
  std::string digits;
  int64_t exponent = 0;
};

// Reads the automation runtime's number syntax in the invariant locale: blanks around,
// an optional sign, digits with an optional '.' fraction and an 'E' exponent, or "&H" hex /
// "&O" octal digits. Anything else (thousands separators, currency signs, parentheses,
// "True") is not a number: nullopt. A hex or octal pattern wider than 32 bits throws
// overflow (6), since no target type can hold it.
std::optional<NumericText> ParseNumericText(const String& text);

// The number rounded half to even; overflow (6) outside [min, max]. A pattern of at most
// pattern_bits bits is taken as a two's-complement value of that width; pattern_bits 0
// takes it as an unsigned value.
int64_t NumericTextToInteger(const NumericText& number, int64_t min, int64_t max, int pattern_bits);

// The nearest double; overflow (6) beyond its range, 0 below it. Patterns are 32-bit.
double NumericTextToDouble(const NumericText& number);

// d rounded half to even; overflow (6) for NaN, infinities and results outside [min, max].
int64_t RoundDoubleToInteger(double d, int64_t min, int64_t max);

// value itself, or overflow (6) outside [min, max].
int64_t CheckRange(int64_t value, int64_t min, int64_t max);

// The text without the ASCII blanks the runtime skips around a number or a truth word.
std::u16string_view TrimBlanks(std::u16string_view text) noexcept;

}  // namespace usborva::automation_internal

#endif  // USBORVA_AUTOMATION_NUMERIC_TEXT_H_
