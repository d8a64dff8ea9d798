// SPDX-License-Identifier: Apache-2.0
#include "usborva/convert.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "usborva/automation_error.h"
#include "usborva_test/error_of.h"

namespace usborva::convert {
namespace {

using test::ErrorOf;

const std::vector<uint8_t> kCommand = {0x0E, 0x10, 0x05};

TEST(BytesToHexTest, UpperCasePairsHighNibbleFirst) {
  EXPECT_EQ(BytesToHex(kCommand, 0, 3), u"0E1005");
  EXPECT_EQ(BytesToHexSpaced(kCommand, 0, 3), u"0E 10 05");
  EXPECT_EQ(BytesToHex(kCommand, 1, 2), u"1005");
  const std::vector<uint8_t> edge = {0x00, 0xFF, 0xAB};
  EXPECT_EQ(BytesToHex(edge, 0, 3), u"00FFAB");
  EXPECT_EQ(BytesToHexSpaced(edge, 1, 1), u"FF");  // one byte: no space
}

TEST(BytesToHexTest, EveryByteValueMatchesPrintf) {
  std::vector<uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<uint8_t>(i);
  const String hex = BytesToHex(all, 0, 256);
  const String spaced = BytesToHexSpaced(all, 0, 256);
  ASSERT_EQ(hex.size(), 512u);
  ASSERT_EQ(spaced.size(), 767u);
  for (int i = 0; i < 256; ++i) {
    char expected[3];
    std::snprintf(expected, sizeof expected, "%02X", i);
    EXPECT_EQ(hex.substr(2 * i, 2), String(expected, expected + 2));
    EXPECT_EQ(spaced.substr(3 * i, 2), String(expected, expected + 2));  // read at 3k+1
  }
}

TEST(ByteRangeTest, EmptyCountsAndRangesOutsideTheBuffer) {
  using Conversion = String (*)(std::span<const uint8_t>, int32_t, int32_t);
  const Conversion conversions[] = {BytesToHex, BytesToHexSpaced, BytesToText};
  for (Conversion convert : conversions) {
    EXPECT_EQ(convert(kCommand, 0, 0), u"");
    EXPECT_EQ(convert(kCommand, -5, -1), u"");
    EXPECT_EQ(convert(kCommand, 99, 0), u"");
    EXPECT_EQ(convert({}, 0, 0), u"");
    EXPECT_EQ(ErrorOf([&] { convert(kCommand, 1, 3); }), 9);
    EXPECT_EQ(ErrorOf([&] { convert(kCommand, -1, 2); }), 9);
    EXPECT_EQ(ErrorOf([&] { convert(kCommand, 3, 1); }), 9);
    EXPECT_EQ(ErrorOf([&] { convert(kCommand, 2147483647, 2147483647); }), 9);
    EXPECT_EQ(ErrorOf([&] { convert({}, 0, 1); }), 9);
  }
}

TEST(BytesToTextTest, OneWindows1252CharacterPerByte) {
  const std::vector<uint8_t> track = {0x25, 0x42, 0x34, 0x00, 0x80, 0x81, 0xE9, 0x9F};
  EXPECT_EQ(BytesToText(track, 0, 3), u"%B4");
  EXPECT_EQ(BytesToText(track, 3, 5), (String{0x0000, 0x20AC, 0x0081, 0x00E9, 0x0178}));
}

TEST(CodePageTest, EveryByteRoundTripsAndOthersBecomeQuestionMarks) {
  for (int b = 0; b < 256; ++b) {
    EXPECT_EQ(CharToByte(ByteToChar(static_cast<uint8_t>(b))), b) << b;
  }
  EXPECT_EQ(ByteToChar(0x8D), 0x008D);
  EXPECT_EQ(ByteToChar(0x99), 0x2122);
  EXPECT_EQ(CharToByte(0x0080), '?');  // a C1 control the code page puts elsewhere
  EXPECT_EQ(CharToByte(0x0100), '?');
  EXPECT_EQ(CharToByte(0xFFFD), '?');
}

TEST(HexToTextTest, PairsBecomeCharacters) {
  EXPECT_EQ(HexToText(u"41424"), (String{u'A', u'B', 0x04}));
  EXPECT_EQ(HexToText(u"6A6B"), u"jk");
  EXPECT_EQ(HexToText(u"6a6b"), u"jk");
  EXPECT_EQ(HexToText(u""), u"");
  EXPECT_EQ(HexToText(u"0080FF"), (String{0x0000, 0x20AC, 0x00FF}));
  const std::pair<const char16_t*, int32_t> failures[] = {
      {u"ZZ", 13}, {u"41 42", 13}, {u"4G", 13}, {u"+1", 13}, {u"41-", 13}, {u"\uFF11", 13},
  };
  for (const auto& failure : failures) {
    const char16_t* text = failure.first;  // a lambda may not capture a structured binding
    EXPECT_EQ(ErrorOf([&] { HexToText(text); }), failure.second) << StringToUtf8(text);
  }
}

TEST(HexToTextTest, SixteenBitPositionCounterLimitsTheLength) {
  EXPECT_EQ(HexToText(String(32766, u'4')).size(), 16383u);
  EXPECT_EQ(ErrorOf([] { HexToText(String(32767, u'4')); }), 6);
  EXPECT_EQ(ErrorOf([] { HexToText(String(100000, u'4')); }), 6);
  // A bad pair the counter reaches is found first; one past its reach never is.
  String early_bad(40000, u'4');
  early_bad[10] = u'Z';
  EXPECT_EQ(ErrorOf([&] { HexToText(early_bad); }), 13);
  String late_bad(40000, u'4');
  late_bad[39000] = u'Z';
  EXPECT_EQ(ErrorOf([&] { HexToText(late_bad); }), 6);
}

TEST(HexToBytesTest, CommandTextFillsAZeroBuffer) {
  const ByteArray expected = {0x0E, 0x10, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(HexToBytes(u"0E 10", 8), expected);
  EXPECT_EQ(HexToBytes(u"0e10", 8), expected);
  EXPECT_EQ(HexToBytes(u"0 E10", 8), expected);
  EXPECT_EQ(HexToBytes(u"  0E   10  ", 8), expected);
  EXPECT_EQ(HexToBytes(u"0E 1", 4), (ByteArray{0x0E, 0x01, 0, 0}));
  EXPECT_EQ(HexToBytes(u"", 3), (ByteArray{0, 0, 0}));
  EXPECT_EQ(HexToBytes(u"FFff", 2), (ByteArray{0xFF, 0xFF}));
  EXPECT_TRUE(HexToBytes(u"", 0).empty());
}

TEST(HexToBytesTest, FailuresReturnNothing) {
  const std::pair<const char16_t*, int32_t> failures[] = {
      {u"ZZ", 13},      {u"0E\t10", 13}, {u"0E,10", 13}, {u"0x0E", 13},
      {u"0E 10 05", 9}, {u"0E100", 9},   {u"-1", 13},
  };
  for (const auto& failure : failures) {
    const char16_t* text = failure.first;
    EXPECT_EQ(ErrorOf([&] { HexToBytes(text, 2); }), failure.second) << StringToUtf8(text);
  }
  EXPECT_EQ(ErrorOf([] { HexToBytes(u"00", -1); }), 9);
}

TEST(HexToBytesIntoTest, KeepsBytesParsedBeforeTheFailingPair) {
  std::vector<uint8_t> buffer(4, 0);
  EXPECT_EQ(ErrorOf([&] { HexToBytesInto(u"0102ZZ04", buffer); }), 13);
  EXPECT_EQ(buffer, (std::vector<uint8_t>{0x01, 0x02, 0x00, 0x00}));
  std::vector<uint8_t> small(2, 0xAA);
  EXPECT_EQ(ErrorOf([&] { HexToBytesInto(u"01 02 03", small); }), 9);
  EXPECT_EQ(small, (std::vector<uint8_t>{0x01, 0x02}));
}

TEST(FormatReaderIDTest, NoLeadingZerosButAtLeastTwoDigits) {
  const std::pair<int16_t, const char16_t*> cases[] = {
      {0x0000, u"00"},   {0x0005, u"05"},  {0x000A, u"0A"},
      {0x00AB, u"AB"},   {0x0123, u"123"}, {0x0ABC, u"ABC"},
      {0x2010, u"2010"}, {-1, u"FFFF"},    {static_cast<int16_t>(0x8001), u"8001"},
  };
  for (const auto& [id, expected] : cases) EXPECT_EQ(FormatReaderID(id), expected) << id;
}

TEST(AppendHexTest, WritesExactlyTwoCharactersPerByte) {
  char16_t out[8] = {u'x', u'x', u'x', u'x', u'x', u'x', u'x', u'x'};
  AppendHex(kCommand, out + 1);
  EXPECT_EQ(String(out, 8), u"x0E1005x");
}

}  // namespace
}  // namespace usborva::convert
