#include "usborva/card_view.h"

#include <gtest/gtest.h>

namespace usborva {
namespace {

const String kTrack1 = u"%B4111111111111111^DOE/JOHN Q.MR       ^2512101123456789000000?";
const String kTrack2 = u";4111111111111111=25121011234567890?";

CardView FullCard() {
  CardView view;
  view.track1_found = view.track2_found = true;
  view.pan = u"4111111111111111";
  view.pan_luhn_valid = true;
  view.surname = u"DOE";
  view.first_name = u"JOHN";
  view.middle_initial = u"Q";
  view.title = u"MR";
  view.expiry = u"2512";
  view.service_code = u"101";
  view.track1_discretionary = u"123456789000000";
  view.track2_discretionary = u"1234567890";
  return view;
}

TEST(CardViewTest, ToleratesHowReadersJoinTracks) {
  const String without_end1 = kTrack1.substr(0, kTrack1.size() - 1);
  const String without_end2 = kTrack2.substr(0, kTrack2.size() - 1);
  const std::pair<const char*, String> texts[] = {
      {"joined directly", kTrack1 + kTrack2},
      {"CR/LF", kTrack1 + u"\r\n" + kTrack2 + u"\r\n"},
      {"check characters after ?", kTrack1 + u";" + kTrack2 + u"%"},
      {"track 1 lost its ?", without_end1 + kTrack2},
      {"track 2 lost its ?", kTrack1 + without_end2},
      {"both lost it, LF", without_end1 + u"\n" + without_end2},
  };
  for (const auto& [why, text] : texts) EXPECT_EQ(ParseCardView(text), FullCard()) << why;
}

TEST(CardViewTest, OneTrackOnly) {
  CardView only2 = ParseCardView(kTrack2);
  EXPECT_FALSE(only2.track1_found);
  EXPECT_TRUE(only2.track2_found);
  EXPECT_EQ(only2.pan, u"4111111111111111");
  EXPECT_EQ(only2.expiry, u"2512");
  EXPECT_EQ(only2.service_code, u"101");
  EXPECT_EQ(only2.surname, u"");

  CardView only1 = ParseCardView(kTrack1);
  EXPECT_TRUE(only1.track1_found);
  EXPECT_FALSE(only1.track2_found);
  EXPECT_EQ(only1.track2_discretionary, u"");
  EXPECT_EQ(only1.first_name, u"JOHN");
}

TEST(CardViewTest, FieldRules) {
  struct Case {
    const char* why;
    const char16_t* text;
    CardView expected;
  };
  auto t1 = [](String pan, String surname, String first, String middle, String title, String expiry,
               String service, String disc) {
    CardView v;
    v.track1_found = true;
    v.pan = std::move(pan);
    v.surname = std::move(surname);
    v.first_name = std::move(first);
    v.middle_initial = std::move(middle);
    v.title = std::move(title);
    v.expiry = std::move(expiry);
    v.service_code = std::move(service);
    v.track1_discretionary = std::move(disc);
    return v;
  };
  const Case cases[] = {
      {"grouped PAN, title without middle", u"%B4111 1111 1111 1112^SMITH/JANE.DR^2601201?",
       t1(u"4111111111111112", u"SMITH", u"JANE", u"", u"DR", u"2601", u"201", u"")},
      {"impossible month keeps alignment", u"%B41^VAN DYKE/DICK^2513101X?",
       t1(u"41", u"VAN DYKE", u"DICK", u"", u"", u"", u"101", u"X")},
      {"fields left out", u"%B41^DOE^^^XYZ?", t1(u"41", u"DOE", u"", u"", u"", u"", u"", u"XYZ")},
      {"masked reader data", u"%B4111********1111^DOE/J^2512101*****?",
       t1(u"4111********1111", u"DOE", u"J", u"", u"", u"2512", u"101", u"*****")},
      {"no name end", u"%B41^DOE/J", t1(u"41", u"DOE", u"J", u"", u"", u"", u"", u"")},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseCardView(c.text), c.expected) << c.why;

  for (const char16_t* junk : {u"", u"%B", u"%A41^DOE/J^25?", u";41?", u"?;=;", u"%B41;41"}) {
    const CardView view = ParseCardView(junk);
    EXPECT_FALSE(view.track1_found || view.track2_found) << "junk";
    EXPECT_EQ(view.pan, u"");
  }
}

TEST(CardViewTest, Luhn) {
  EXPECT_TRUE(ParseCardView(u";79927398713=?").pan_luhn_valid);
  EXPECT_FALSE(ParseCardView(u";79927398710=?").pan_luhn_valid);
  EXPECT_FALSE(ParseCardView(u";0000000=?").pan_luhn_valid);  // too short to be a PAN
  EXPECT_FALSE(ParseCardView(u"%B4111********1111^X^?").pan_luhn_valid);
}

TEST(MaskedPanTest, ShowsAtMostSixAndFour) {
  const std::pair<const char16_t*, const char16_t*> cases[] = {
      {u"4111111111111111", u"411111******1111"},
      {u"6011000990139424123", u"601100*********4123"},
      {u"4222222222222", u"422222***2222"},
      {u"123456789012", u"********9012"},
      {u"12345", u"***45"},
      {u"1", u"*"},
      {u"", u""},
  };
  for (const auto& [pan, masked] : cases) EXPECT_EQ(MaskedPan(pan), masked);
}

}  // namespace
}  // namespace usborva
