// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include "usborva/usborva.h"
#include "usborva_test/recording_container.h"

namespace usborva {
namespace {

const String kClear = u"%B4111111111111111^DOE/JOHN  ^2512101?;4111111111111111=2512101?#E1?";
const String kMasked = u"%B4111********1111^ROE/JANE^2512101?;4111********1111=2512101?!M1?";

class CardParsingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Parsing card data never touches the settings: any call to them throws.
    host_.fail_settings = true;
    control_.InitProperties();
    control_.put_CardData(kClear);
    control_.put_CardDataMasked(kMasked);
  }
  test::RecordingContainer host_;
  USBORVA control_{host_};
};

TEST_F(CardParsingTest, TracksComeFromTheirOwnText) {
  int16_t track = 4;
  EXPECT_EQ(control_.GetTrack(track), u"#E1?");
  EXPECT_EQ(track, 4);
  EXPECT_EQ(control_.GetTrackMasked(track), u"");
  track = 5;
  EXPECT_EQ(control_.GetTrack(track), u"");
  EXPECT_EQ(control_.GetTrackMasked(track), u"!M1?");
  track = 0;
  EXPECT_EQ(control_.GetTrack(track), kClear);
  EXPECT_EQ(control_.GetTrackMasked(track), kMasked);
  for (int16_t n : {1, 2, 3, -1, 6}) {
    EXPECT_EQ(control_.GetTrack(n), u"");
    EXPECT_EQ(control_.GetTrackMasked(n), u"");
  }
}

TEST_F(CardParsingTest, NamesComeFromTheirOwnText) {
  EXPECT_EQ(control_.GetFName(), u"JOHN");
  EXPECT_EQ(control_.GetLName(), u"DOE");
  EXPECT_EQ(control_.GetFNameMasked(), u"JANE");
  EXPECT_EQ(control_.GetLNameMasked(), u"ROE");
  control_.put_CardData(u"");
  EXPECT_EQ(control_.GetFName(), u"");
  EXPECT_EQ(control_.GetLName(), u"");
  EXPECT_EQ(control_.GetFNameMasked(), u"JANE");
}

TEST_F(CardParsingTest, FindElementSearchesTheTrackGetTrackReturns) {
  // Track 0 is the whole text; "?" alone defaults to backward from the first "?".
  EXPECT_EQ(control_.FindElement(0, u"?", 0, u"3"), u"101");
  EXPECT_EQ(control_.FindElementMasked(0, u"=", 0, u"4"), u"2512");
  EXPECT_EQ(control_.FindElement(0, u"^", 0, u"^^"), u"DOE/JOHN  ");
  // The first "?" of the masked text is the first one it has; track 4 exists only in clear.
  EXPECT_EQ(control_.FindElement(4, u"#", 0, u"2"), u"E1");
  EXPECT_EQ(control_.FindElementMasked(4, u"#", 0, u"2"), u"");
  EXPECT_EQ(control_.FindElement(2, u"?", 0, u"1"), u"");

  Variant direction = Variant::Missing();
  EXPECT_EQ(control_.FindElementMasked(5, u"?", 0, u"2", direction), u"M1");
  EXPECT_EQ(direction, Variant::FromBoolean(true));
  direction = Variant::FromInteger(0);
  EXPECT_EQ(control_.FindElement(0, u"?", 0, u"1", direction), u";");
  EXPECT_EQ(direction, Variant::FromInteger(0));
}

}  // namespace
}  // namespace usborva
