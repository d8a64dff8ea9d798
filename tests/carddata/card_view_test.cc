// SPDX-License-Identifier: Apache-2.0
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
      {"impossible month keeps alignment", u"%B411111111111^VAN DYKE/DICK^2513101X?",
       t1(u"411111111111", u"VAN DYKE", u"DICK", u"", u"", u"", u"101", u"X")},
      {"fields left out", u"%B411111111111^DOE^^^XYZ?",
       t1(u"411111111111", u"DOE", u"", u"", u"", u"", u"", u"XYZ")},
      {"masked reader data", u"%B4111********1111^DOE/J^2512101*****?",
       t1(u"4111********1111", u"DOE", u"J", u"", u"", u"2512", u"101", u"*****")},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseCardView(c.text), c.expected) << c.why;

  // Without the name's closing separator the track is malformed and gives no field.
  CardView no_name_end;
  no_name_end.track1_found = no_name_end.track1_malformed = true;
  EXPECT_EQ(ParseCardView(u"%B411111111111^DOE/J"), no_name_end);

  for (const char16_t* junk : {u"", u"%B", u"%A41^DOE/J^25?", u";41?", u"?;=;", u"%B41;41"}) {
    const CardView view = ParseCardView(junk);
    EXPECT_FALSE(view.track1_found || view.track2_found) << "junk";
    EXPECT_EQ(view.pan, u"");
  }
}

TEST(CardViewTest, Luhn) {
  EXPECT_TRUE(ParseCardView(u";4111111111111111=?").pan_luhn_valid);
  EXPECT_FALSE(ParseCardView(u";4111111111111112=?").pan_luhn_valid);
  EXPECT_FALSE(ParseCardView(u";0000000=?").pan_luhn_valid);  // too short to be a PAN
  EXPECT_FALSE(ParseCardView(u"%B4111********1111^X^?").pan_luhn_valid);
}

// Tracks built to slip a card number past the PAN's mask: none of them gives a field.
TEST(CardViewTest, HostileTracksAreMalformed) {
  const std::pair<const char*, const char16_t*> tracks[] = {
      {"empty PAN, numbers as the names", u"%B^4111111111111111/5555555555554444^2812101000?"},
      {"no closing separator", u"%B4111111111111111^PUBLIC/JOHN Q 2812101123456789012345?"},
      {"PAN as surname", u"%B4111111111111111^4111111111111111/JOHN^2812101?"},
      {"PAN as first name", u"%B4111111111111111^PUBLIC/4111111111111111^2812101?"},
      {"PAN as middle initial", u"%B4111111111111111^PUBLIC/JOHN 4111111111111111^2812101?"},
      {"PAN as title", u"%B4111111111111111^PUBLIC/JOHN.4111111111111111^2812101?"},
      {"PAN split by the name's separators", u"%B4111111111111111^4111 1111/1111.1111^2812101?"},
      {"a third separator", u"%B4111111111111111^PUBLIC/JOHN^2812101^4111111111111111?"},
      {"name run into the tail", u"%B4111111111111111^PUBLIC/JOHN^28X2101?"},
      {"PAN with dashes", u"%B4111-1111-1111-1111^PUBLIC/JOHN^2812101?"},
      {"PAN with two blanks", u"%B4111  1111 1111 1111^PUBLIC/JOHN^2812101?"},
      {"PAN too short", u"%B41111111111^PUBLIC/JOHN^2812101?"},
      {"PAN too long", u"%B41111111111111111111^PUBLIC/JOHN^2812101?"},
      {"PAN not digits", u"%BPUBLIC/JOHN^4111111111111111^2812101?"},
      {"name of one character", u"%B4111111111111111^P^2812101?"},
      {"name too long", u"%B4111111111111111^ABCDEFGHIJKLMNOPQRSTUVWXYZA^2812101?"},
      {"lower case", u"%B4111111111111111^public/john^2812101?"},
      {"fullwidth digits as a name", u"%B4111111111111111^\uFF14\uFF11\uFF11\uFF11/J^2812101?"},
      {"fullwidth digits as the PAN",
       u"%B\uFF14\uFF11\uFF11\uFF11\uFF11\uFF11\uFF11\uFF11\uFF11\uFF11\uFF11\uFF11^A/B^2812?"},
      {"Arabic-Indic digits in the discretionary data",
       u"%B4111111111111111^PUBLIC/JOHN^2812101\u0664\u0661\u0661?"},
      {"a control character in the name", u"%B4111111111111111^PUB\x1bLIC/JOHN^2812101?"},
      {"track 2 name-like discretionary data", u";4111111111111111=2812101PUBLIC?"},
      {"track 2 with a blank in the PAN", u";4111 1111 1111 1111=2812101?"},
      {"track 2 expiry cut short", u";4111111111111111=28?"},
      {"track 2 too long", u";4111111111111111=28121010000000000000000?"},
  };
  for (const auto& [why, text] : tracks) {
    const CardView view = ParseCardView(text);
    EXPECT_TRUE(view.malformed()) << why;
    EXPECT_TRUE(view.pan.empty() && view.surname.empty() && view.first_name.empty() &&
                view.middle_initial.empty() && view.title.empty() &&
                view.track1_discretionary.empty() && view.track2_discretionary.empty())
        << why;
  }
  // The longest well-formed tracks still parse.
  const String track1 =
      u"%B4111111111111111^" + String(26, u'A') + u"^2812101" + String(25, u'0') + u"?";
  EXPECT_FALSE(ParseCardView(track1).malformed());
  EXPECT_FALSE(ParseCardView(u";4111111111111111=2812101" + String(14, u'0') + u"?").malformed());
}

// A malformed track gives nothing, and the other track still gives its own fields.
TEST(CardViewTest, ATrackIsJudgedOnItsOwn) {
  const CardView view =
      ParseCardView(u"%B^4111111111111111/5555555555554444^2812101?;4111111111111111=2812101?");
  EXPECT_TRUE(view.track1_malformed);
  EXPECT_FALSE(view.track2_malformed);
  EXPECT_EQ(view.pan, u"4111111111111111");
  EXPECT_EQ(view.surname, u"");
  EXPECT_EQ(view.expiry, u"2812");
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
