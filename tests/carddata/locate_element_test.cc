// SPDX-License-Identifier: Apache-2.0
#include "carddata/locate_element.h"

#include <gtest/gtest.h>

#include "carddata/element_count.h"
#include "carddata/occurrences.h"

namespace usborva::carddata {
namespace {

// 40 distinct characters with "R" at 5, 20 and 31 and "T" at 12 and 25.
String PositionedTrack() {
  String text;
  for (char16_t i = 1; i <= 40; ++i) text.push_back(static_cast<char16_t>(0x100 + i));
  for (int p : {5, 20, 31}) text[p - 1] = u'R';
  for (int p : {12, 25}) text[p - 1] = u'T';
  return text;
}

String Chars(const String& text, int from, int to) { return text.substr(from - 1, to - from + 1); }

String Locate(const String& track, const String& ref, int16_t displacement, const String& digits,
              Variant direction = Variant::Missing()) {
  return LocateElement(track, ref, displacement, digits, direction);
}

TEST(LocateElementTest, WorkedPositions) {
  const String t = PositionedTrack();
  const Variant fwd = Variant::FromBoolean(false);
  const Variant back = Variant::FromBoolean(true);
  EXPECT_EQ(Locate(t, u"R", 0, u"4", fwd), Chars(t, 6, 9));
  EXPECT_EQ(Locate(t, u"R", 2, u"4", fwd), Chars(t, 8, 11));
  EXPECT_EQ(Locate(t, u"R", 0, u"T", fwd), Chars(t, 6, 11));
  EXPECT_EQ(Locate(t, u"R", 2, u"T", fwd), Chars(t, 8, 11));
  EXPECT_EQ(Locate(t, u"RR", 0, u"T", fwd), u"");
  EXPECT_EQ(Locate(t, u"RR", 0, u"3", back), Chars(t, 17, 19));
  EXPECT_EQ(Locate(t, u"RRR", 0, u"TT", back), Chars(t, 26, 30));
  EXPECT_EQ(Locate(t, u"RRR", 2, u"TT", back), Chars(t, 24, 28));
  for (const Variant& dir : {fwd, back}) EXPECT_EQ(Locate(t, u"RRRR", 0, u"4", dir), u"");
}

struct EdgeCase {
  const char* why;
  const char16_t* ref;
  int16_t d;
  const char16_t* digits;
  Variant dir;
  const char16_t* expected;
};

void ExpectEdges(const String& track, std::initializer_list<EdgeCase> cases) {
  for (const EdgeCase& c : cases) {
    EXPECT_EQ(Locate(track, c.ref, c.d, c.digits, c.dir), c.expected) << c.why;
  }
}

const Variant kForward = Variant::FromBoolean(false);
const Variant kBackward = Variant::FromBoolean(true);

TEST(LocateElementTest, EdgesOnATrack2Text) {
  // "=" at 18, "?" at 30.
  ExpectEdges(
      u";4111111111111111=25121011234?",
      {
          {"default backward from ?", u"?", 0, u"4", Variant::Missing(), u"1234"},
          {"forward, absent reference", u"X", -5, u"4", kForward, u""},
          {"backward, absent reference", u"X", 0, u"3", kBackward, u""},
          {"backward, absent reference, D brings start to 1", u"X", -4, u"3", kBackward, u";41"},
          {"backward, absent terminator", u"=", 0, u"X", kBackward, u";4111111111111111"},
          {"backward, absent terminator, D > 0", u"=", 1, u"X", kBackward, u""},
          {"backward, terminator after reference", u"=", 0, u"?", kBackward, u""},
          {"forward, D fills the gap", u"=", 11, u"?", kForward, u""},
          {"forward, D one short of the gap", u"=", 10, u"?", kForward, u"4"},
          {"forward, start beyond end", u"?", 0, u"2", kForward, u""},
          {"forward, count past end is cut", u"=", 8, u"99", kForward, u"234?"},
          {"count 0", u"=", 0, u"0", kForward, u""},
          {"negative count", u"=", 0, u"-2", kForward, u""},
          {"empty RefChar", u"", 0, u"1", kForward, u""},
          {"empty NumDigits", u"=", 0, u"", kForward, u""},
          {"count beyond Long", u"=", 0, u"4294967296", kForward, u""},
          {"largest Long count", u"=", 0, u"2147483647", kForward, u"25121011234?"},
          {"blank-padded signed count", u"=", 0, u" +4 ", kForward, u"2512"},
      });
}

TEST(LocateElementTest, EdgesOnANameText) {
  ExpectEdges(u"%B41^DOE/JO Q^25?",
              {
                  {"terminator right before, backward", u"/", 0, u"E", kBackward, u""},
                  {"terminator right after, forward", u"^", 0, u"D", kForward, u""},
                  {"field between separators", u"^", 0, u"^^", Variant::Missing(), u"DOE/JO Q"},
                  {"case-sensitive", u"o", 0, u"1", kForward, u""},
                  {"case-sensitive", u"O", 0, u"1", kForward, u"E"},
                  {"blank NumDigits is a terminator", u"/", 0, u" ", kForward, u"JO"},
              });
  // Only the exact text "?" turns the default backward.
  ExpectEdges(u"A?B?CD", {{"?? defaults forward", u"??", 0, u"2", Variant::Missing(), u"CD"}});
}

TEST(LocateElementTest, NotationsOtherThanSignedDigitsAreTerminators) {
  // "4" occurs at 2, 4 and 6: a terminator of length 3 ends at 6.
  const String track = u"a4b4c4d";
  for (const char16_t* digits : {u"4.0", u"4e0", u"4,0"}) {
    EXPECT_EQ(Locate(track, u"a", 0, digits, Variant::FromBoolean(false)), u"4b4c")
        << "notation " << (digits[1] == u'.' ? "point" : "other");
  }
  EXPECT_EQ(ParseElementCount(u"&H4"), std::nullopt);
  EXPECT_EQ(ParseElementCount(u"+"), std::nullopt);
  EXPECT_EQ(ParseElementCount(u"4 4"), std::nullopt);
  EXPECT_EQ(ParseElementCount(u"\t4"), std::nullopt);
  EXPECT_EQ(ParseElementCount(u" -007 "), -7);
}

TEST(LocateElementTest, DirectionWrittenBackOnlyAfterBothCharactersAreFound) {
  const String track = u"%B41^DOE/JO^25?";
  Variant direction = Variant::Missing();
  EXPECT_EQ(LocateElement(track, u"?", 0, u"2", direction), u"25");
  EXPECT_EQ(direction, Variant::FromBoolean(true));

  direction = Variant::Missing();
  EXPECT_EQ(LocateElement(track, u"^", 0, u"3", direction), u"DOE");
  EXPECT_EQ(direction, Variant::FromBoolean(false));

  // The arithmetic fails (terminator adjacent) after both searches succeeded.
  direction = Variant::Missing();
  EXPECT_EQ(LocateElement(track, u"^", 0, u"D", direction), u"");
  EXPECT_EQ(direction, Variant::FromBoolean(false));

  for (const char16_t* ref : {u"", u"??", u"Z"}) {
    direction = Variant::Missing();
    LocateElement(track, ref, 0, u"ZZ", direction);
    EXPECT_TRUE(direction.IsMissing());
  }
  direction = Variant::Missing();
  LocateElement(track, u"^", 0, u"", direction);
  EXPECT_TRUE(direction.IsMissing());
}

TEST(LocateElementTest, DirectionBackValuesThatMeanBackward) {
  const String track = u"%B41^DOE/JO^25?";
  struct Case {
    Variant value;
    bool backward;
  } cases[] = {
      {Variant::FromBoolean(true), true},
      {Variant::FromBoolean(false), false},
      {Variant::FromInteger(-1), true},
      {Variant::FromInteger(1), false},
      {Variant::FromLong(-1), true},
      {Variant::FromDouble(-1.0), true},
      {Variant::FromDouble(-1.5), false},
      {Variant::FromByte(255), false},
      {Variant::FromString(u"True"), true},
      {Variant::FromString(u"-1"), true},
      {Variant::FromString(u"False"), false},
      {Variant::FromString(u"back"), false},
      {Variant(), false},
      {Variant::Null(), false},
      {Variant::FromBytes({1}), false},
  };
  for (const Case& c : cases) {
    const String expected = c.backward ? u"E" : u"J";  // the character before / after "/"
    EXPECT_EQ(Locate(track, u"/", 0, u"1", c.value), expected) << static_cast<int>(c.value.type());
  }
}

TEST(LocateElementTest, IntegerWidths) {
  // A reference beyond position 32,767 overflows.
  String long_track(33000, u'x');
  long_track[32999] = u'R';
  EXPECT_EQ(Locate(long_track, u"R", -10, u"2", Variant::FromBoolean(false)), u"");
  // So does a forward start past 32,767.
  String track(33010, u'x');
  track[31999] = u'R';
  EXPECT_EQ(Locate(track, u"R", 767, u"1", Variant::FromBoolean(false)), u"");
  EXPECT_EQ(Locate(track, u"R", 766, u"1", Variant::FromBoolean(false)), u"x");
}

TEST(FindOccurrencesTest, ListsPositionsAndFailsAtTheIntegerLimit) {
  EXPECT_EQ(FindOccurrences(u'^', u"%B41^DOE/JO^25?"), (std::vector<int64_t>{5, 12}));
  EXPECT_EQ(FindOccurrences(u'^', u"none"), (std::vector<int64_t>{0}));
  EXPECT_EQ(FindOccurrences(u'^', u""), (std::vector<int64_t>{0}));
  EXPECT_EQ(FindOccurrences(u'x', String(32766, u'x'))->size(), 32766u);
  EXPECT_EQ(FindOccurrences(u'x', String(32767, u'x')), std::nullopt);
}

}  // namespace
}  // namespace usborva::carddata
