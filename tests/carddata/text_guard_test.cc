// SPDX-License-Identifier: Apache-2.0
#include "usborva/text_guard.h"

#include <gtest/gtest.h>

#include <string>

namespace usborva {
namespace {

TEST(TextGuard, MasksEveryCardNumberWhateverItsSeparators) {
  EXPECT_EQ(GuardText("4111111111111111"), "411111******1111");
  EXPECT_EQ(GuardText("pan 4111 1111 1111 1111 end"), "pan 4111 11** **** 1111 end");
  EXPECT_EQ(GuardText("4111-1111-1111-1111"), "4111-11**-****-1111");
  EXPECT_EQ(GuardText("4111 - 1111 - 1111 - 1111"), "4111 - 11** - **** - 1111");
  EXPECT_EQ(GuardText("4 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1"), "4 1 1 1 1 1 * * * * * * 1 1 1 1");
  // A track: the run stops at the field separator, and the discretionary digits after it
  // form a run of their own.
  EXPECT_EQ(GuardText(";4111111111111111=28121011234567890123?"),
            ";411111******1111=281210**********0123?");
}

// What is shown as an escape parts digit groups as a blank does, so invisible or control
// characters between the groups cannot carry a number past the mask.
TEST(TextGuard, MasksNumbersPartedByEscapedCharacters) {
  EXPECT_EQ(GuardText("4111\u200B1111\u200B1111\u200B1111"),
            "4111\\u200B11**\\u200B****\\u200B1111");
  EXPECT_EQ(GuardText("411111\x01\x02\x03"
                      "1111111111"),
            "411111\\x01\\x02\\x03******1111");
  EXPECT_EQ(GuardText("4111 \xFF 1111111111"), "4111 \\xFF 11****1111");
  // A line feed ends the run in text, which keeps its lines; a quoted token has none.
  EXPECT_EQ(GuardText("411111\n1111111111"), "411111\n1111111111");
  EXPECT_EQ(QuoteForMessage("411111\n1111111111"), "411111\\x0A******1111");
}

TEST(TextGuard, LeavesShortNumbersAndBrokenRunsAlone) {
  EXPECT_EQ(GuardText("12345678901"), "12345678901");              // 11 digits
  EXPECT_EQ(GuardText("1234    5678 9012"), "1234    5678 9012");  // four blanks break it
  EXPECT_EQ(GuardText("2026-12-08 06:02:56"), "2026-12-08 06:02:56");
  EXPECT_EQ(GuardText("4111.1111.1111.1111"), "4111.1111.1111.1111");
}

TEST(TextGuard, MasksLookalikeDigits) {
  // Fullwidth digits, then Arabic-Indic ones: both read as a card number on a screen.
  const std::string fullwidth =
      "\uFF14\uFF11\uFF11\uFF11\uFF11\uFF11\uFF11\uFF11\uFF11\uFF11\uFF11\uFF11\uFF11";
  EXPECT_EQ(GuardText(fullwidth),
            "\uFF14\uFF11\uFF11\uFF11\uFF11\uFF11***\uFF11\uFF11\uFF11\uFF11");
  const std::string mixed = "411111\u0661\u0661\u0661\u0661\u0661\u0661";
  EXPECT_EQ(GuardText(mixed), "411111**\u0661\u0661\u0661\u0661");
}

TEST(TextGuard, RevealKeepsDigitsButStillEscapes) {
  EXPECT_EQ(GuardText("4111111111111111\x1b[2J", true), "4111111111111111\\x1B[2J");
}

TEST(TextGuard, EscapesWhatCouldDeceiveATerminal) {
  EXPECT_EQ(GuardText("a\x1b[31mb\x07"), "a\\x1B[31mb\\x07");
  EXPECT_EQ(GuardText("tab\there"), "tab\\x09here");
  EXPECT_EQ(GuardText("line one\nline two"), "line one\nline two");
  EXPECT_EQ(GuardText("\r"), "\\x0D");
  EXPECT_EQ(GuardText("evil\u202Efdp.exe"), "evil\\u202Efdp.exe");
  EXPECT_EQ(GuardText("x\u2066y\u200Bz\u2028"), "x\\u2066y\\u200Bz\\u2028");
  EXPECT_EQ(GuardText("\xC2\x9B"), "\\u009B");  // C1 control sequence introducer
  EXPECT_EQ(GuardText("bad\xFF\xC3("), "bad\\xFF\\xC3(");
  EXPECT_EQ(GuardText("caf\xC3\xA9 \xEF\xBF\xBD"), "caf\xC3\xA9 \xEF\xBF\xBD");
}

TEST(TextGuard, QuotesATokenShortMaskedAndOnOneLine) {
  EXPECT_EQ(QuoteForMessage("swipee"), "swipee");
  EXPECT_EQ(QuoteForMessage(";4111111111111111=2812101123456789?"),
            ";411111******1111=281210******67...");
  EXPECT_EQ(QuoteForMessage("a\nb"), "a\\x0Ab");
  EXPECT_EQ(QuoteForMessage(std::string(3000, 'x')), std::string(32, 'x') + "...");
  // The mask is decided on the whole token, so cutting cannot leave a number unmasked.
  EXPECT_EQ(QuoteForMessage("4111111111111111", 8), "411111**...");
}

TEST(TextGuard, TellsWhetherTextHoldsACardNumber) {
  EXPECT_TRUE(HoldsCardNumber("%B4111111111111111^X/Y^2812?"));
  EXPECT_TRUE(HoldsCardNumber("4111 1111 1111 1111"));
  EXPECT_FALSE(HoldsCardNumber("%BPUBLIC/JOHN^2812?"));
}

TEST(TextGuard, GrowsLinearlyOnHugeDigitRuns) {
  // A megabyte of digits and separators is one run: masked in one pass.
  std::string huge;
  for (int i = 0; i < 200000; ++i) huge += "1234 ";
  const std::string guarded = GuardText(huge);
  EXPECT_EQ(guarded.size(), huge.size());
  EXPECT_EQ(guarded.substr(0, 10), "1234 12** ");
}

// The tool's field printer: controls (C0, DEL, C1) as \xHH, nothing masked, a lone
// surrogate as U+FFFD; UTF-8 input read with the product's codec first.
TEST(Printable, EscapesControlCharactersAndKeepsEverythingElse) {
  EXPECT_EQ(Printable(u"a\x1B[2J\x7F\u0085\u00A0\u00E9"), "a\\x1B[2J\\x7F\\x85\xC2\xA0\xC3\xA9");
  EXPECT_EQ(Printable(u"\u200B4111111111111111"),
            "\xE2\x80\x8B"
            "4111111111111111");
  EXPECT_EQ(Printable(std::u16string{0xD800, u'x'}), "\xEF\xBF\xBDx");
  EXPECT_EQ(Printable(std::string_view("\xE2\x82\x41\n")),
            "\xEF\xBF\xBD"
            "A\\x0A");
}

}  // namespace
}  // namespace usborva
