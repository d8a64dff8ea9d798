// SPDX-License-Identifier: Apache-2.0
#include "usborva/test_cards.h"

#include <gtest/gtest.h>

#include <set>

#include "usborva/card_view.h"

namespace usborva {
namespace {

String Wide(const std::string& text) { return String(text.begin(), text.end()); }

// Every built-in card must read back as a well-formed card with a valid number: a test card
// that a host's own parser refused would teach the wrong lesson in a rehearsal.
TEST(TestCardsTest, EveryCardReadsAsAWellFormedLuhnValidCard) {
  std::set<std::string_view> pans;
  for (const TestCard& card : TestCards()) {
    SCOPED_TRACE(card.label);
    const CardView view = ParseCardView(Wide(TestTrack1(card) + TestTrack2(card)));
    EXPECT_FALSE(view.malformed());
    EXPECT_TRUE(view.track1_found && view.track2_found);
    EXPECT_TRUE(view.pan_luhn_valid);
    EXPECT_EQ(view.pan, Wide(std::string(card.pan)));
    EXPECT_EQ(view.expiry, Wide(std::string(card.expiry)));
    EXPECT_LE(TestTrack1(card).size(), 79u);
    EXPECT_LE(TestTrack2(card).size(), 40u);
    EXPECT_TRUE(pans.insert(card.pan).second) << "two cards share a number";
  }
}

TEST(TestCardsTest, SyntheticNumbersKeepTheLengthAndPassLuhn) {
  EXPECT_EQ(TestPan(16), "4111111111111111");
  EXPECT_EQ(LuhnCheckDigit("7992739871"), '3');  // the textbook example
  for (size_t length = 12; length <= 19; ++length) {
    const std::string pan = TestPan(length);
    EXPECT_EQ(pan.size(), length);
    EXPECT_TRUE(ParseCardView(Wide(";" + pan + "=2812101?")).pan_luhn_valid) << pan;
  }
  EXPECT_EQ(TestPan(3).size(), 12u);
  EXPECT_EQ(TestPan(40).size(), 19u);
}

}  // namespace
}  // namespace usborva
