// SPDX-License-Identifier: Apache-2.0
#include "usborva/hex_digits.h"

#include <gtest/gtest.h>

#include <string>

namespace usborva {
namespace {

TEST(HexDigitsTest, ReadsEitherCaseAndNothingThatOnlyLooksLikeADigit) {
  const std::string digits = "0123456789abcdefABCDEF";
  for (size_t i = 0; i < digits.size(); ++i) {
    EXPECT_EQ(HexDigitValue(digits[i]), i < 16 ? static_cast<int>(i) : static_cast<int>(i) - 6)
        << digits[i];
  }
  for (char c : std::string("gG/:@`xX \xB0\xC1")) EXPECT_EQ(HexDigitValue(c), -1) << c;
  // A wide unit is never cut to its low byte: U+0141 and U+FF21 are no '1' or 'A'.
  EXPECT_EQ(HexDigitValue(u'\u0141'), -1);
  EXPECT_EQ(HexDigitValue(u'\uFF21'), -1);
  EXPECT_EQ(HexDigitValue(U'\U00010030'), -1);
  EXPECT_TRUE(IsHexDigit('f'));
  EXPECT_FALSE(IsHexDigit('-'));
}

TEST(HexDigitsTest, WritesUpperCaseAndLowerCaseOnRequest) {
  std::string upper;
  std::string lower;
  for (unsigned v = 0; v < 16; ++v) {
    upper += HexDigit(v);
    lower += LowerHexDigit(v);
  }
  EXPECT_EQ(upper, "0123456789ABCDEF");
  EXPECT_EQ(lower, "0123456789abcdef");
  EXPECT_EQ(HexDigit(0x1F), 'F');  // the low four bits only
  std::string pair;
  AppendHexByte(pair, 0x0E);
  AppendHexByte(pair, 0xA0);
  EXPECT_EQ(pair, "0EA0");
}

}  // namespace
}  // namespace usborva
