// SPDX-License-Identifier: Apache-2.0
#include "carddata/extract_track.h"

#include <gtest/gtest.h>

#include "carddata/stored_tracks.h"
#include "carddata/text_primitives.h"

namespace usborva::carddata {
namespace {

String Track(int16_t track_num, const String& text) {
  return ExtractTrack(track_num, text, ClearTrackSet());
}

TEST(TextPrimitivesTest, SearchAndSubstringBounds) {
  EXPECT_EQ(SearchChar(u"a?b?", 1, u'?'), 2);
  EXPECT_EQ(SearchChar(u"a?b?", 3, u'?'), 4);
  EXPECT_EQ(SearchChar(u"a?b?", 5, u'?'), 0);
  EXPECT_EQ(SearchChar(u"", 1, u'?'), 0);
  EXPECT_EQ(SearchChar(u"a?", 0, u'?'), std::nullopt);
  EXPECT_EQ(Substring(u"abcd", 2, 2), u"bc");
  EXPECT_EQ(Substring(u"abcd", 3, 100), u"cd");
  EXPECT_EQ(Substring(u"abcd", 5, 1), u"");
  EXPECT_EQ(Substring(u"abcd", 1, 0), u"");
  EXPECT_EQ(Substring(u"abcd", 0, 1), std::nullopt);
  EXPECT_EQ(Substring(u"abcd", 1, -1), std::nullopt);
  EXPECT_EQ(TrimSpaces(u"  \tA B \t "), u"\tA B \t");
}

TEST(ExtractTrackTest, SelectsBySentinels) {
  const String card = u"%B41^X/Y^25?;41=25?#ENC1?!ENC2?";
  struct Case {
    int16_t track;
    const char16_t* text;
    const char16_t* expected;
  } cases[] = {
      {0, card.c_str(), card.c_str()},
      {4, card.c_str(), u"#ENC1?"},
      {5, card.c_str(), u"!ENC2?"},
      // The slice runs to the first "?" after the sentinel, across other segments.
      {4, u"#AB!CD?EF?", u"#AB!CD?"},
      // Only the first sentinel counts.
      {4, u"#A?#B?", u"#A?"},
      // No "?" after the sentinel: empty, also when one stands before it.
      {4, u"?AB#CD", u""},
      {4, u"#CD", u""},
      {5, u"no sentinel?", u""},
      {-1, card.c_str(), u""},
      {6, card.c_str(), u""},
      {32767, card.c_str(), u""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Track(c.track, c.text), c.expected) << "track " << c.track;
  }
  for (int16_t track = -1; track <= 6; ++track) EXPECT_EQ(Track(track, u""), u"") << track;
}

TEST(ExtractTrackTest, StoredTracksAreEmptyAndPerSet) {
  const String card = u"%B41^X/Y^25?";
  for (int16_t track = 1; track <= 3; ++track) EXPECT_EQ(Track(track, card), u"");
  StoredTrackTexts& stored = ThreadStoredTracks();
  stored.StoredTrack2 = u"clear two";
  stored.StoredTrack2Masked = u"masked two";
  EXPECT_EQ(Track(2, card), u"clear two");
  EXPECT_EQ(ExtractTrack(2, card, MaskedTrackSet()), u"masked two");
  stored = StoredTrackTexts{};
}

TEST(ExtractTrackTest, PositionsAreIntegers) {
  const String longest(32767, u'x');
  EXPECT_EQ(Track(0, longest), longest);
  EXPECT_EQ(Track(0, longest + u"x"), u"");

  String late_sentinel(32767, u'x');
  late_sentinel += u"#AB?";  // "#" at 32,768
  EXPECT_EQ(Track(4, late_sentinel), u"");
  String late_end = u"#" + String(32766, u'x') + u"?";  // "?" at 32,768
  EXPECT_EQ(Track(4, late_end), u"");
  String last_fitting = u"#" + String(32765, u'x') + u"?";  // "?" at 32,767
  EXPECT_EQ(Track(4, last_fitting), last_fitting);
}

}  // namespace
}  // namespace usborva::carddata
