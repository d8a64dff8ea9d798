// SPDX-License-Identifier: Apache-2.0
#include "usborva/variant.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <string>

#include "usborva/automation_error.h"
#include "usborva_test/error_of.h"

namespace usborva {
namespace {

Variant Text(const char16_t* s) { return Variant::FromString(s); }

using test::ErrorOf;

TEST(AutomationErrorTest, CarriesNumberHresultAndStandardText) {
  AutomationError set_not_permitted(error::kSetNotPermitted);
  EXPECT_EQ(set_not_permitted.hresult(), 0x800A0183u);
  EXPECT_STREQ(set_not_permitted.what(), "Set not permitted");
  EXPECT_EQ(AutomationError(error::kSetNotSupportedAtRunTime).hresult(), 0x800A017Eu);
  EXPECT_STREQ(AutomationError(error::kTypeMismatch).what(), "Type mismatch");
  EXPECT_STREQ(AutomationError(75).what(), "Path/File access error");
  EXPECT_STREQ(AutomationError(31999).what(), "Application-defined or object-defined error");
  EXPECT_STREQ(AutomationError(6, "Reader busy").what(), "Reader busy");
}

struct StringCase {
  Variant input;
  String expected;
};

TEST(ToStringTest, FormatsLikeTheRuntime) {
  const StringCase cases[] = {
      {Variant(), u""},
      {Variant::FromInteger(-7), u"-7"},
      {Variant::FromByte(255), u"255"},
      {Variant::FromBoolean(true), u"True"},
      {Variant::FromBoolean(false), u"False"},
      {Variant::FromDouble(1.5), u"1.5"},
      {Variant::FromDouble(0.1), u"0.1"},
      {Variant::FromDouble(0.1 + 0.2), u"0.3"},
      {Variant::FromDouble(1.0 / 3.0), u"0.333333333333333"},
      {Variant::FromDouble(1e20), u"1E+20"},
      {Variant::FromDouble(1e15), u"1E+15"},
      {Variant::FromDouble(123456789012345.0), u"123456789012345"},
      {Variant::FromDouble(1e-5), u"1E-05"},
      {Variant::FromDouble(0.0001), u"0.0001"},
      {Variant::FromDouble(-0.0), u"0"},
      {Variant::FromBytes({0x41, 0x00, 0x42, 0x00}), u"AB"},
      {Variant::FromBytes({0xAC, 0x20}), u"\u20AC"},
  };
  for (const StringCase& c : cases) {
    EXPECT_EQ(ToString(c.input), c.expected) << StringToUtf8(c.expected);
  }
  EXPECT_EQ(ErrorOf([] { ToString(Variant::Null()); }), 94);
  EXPECT_EQ(ErrorOf([] { ToString(Variant::Missing()); }), 13);
}

struct LongCase {
  const char16_t* text;
  std::optional<int32_t> value;  // nullopt: the error below
  int32_t error = 0;
};

TEST(ToLongTest, ReadsTextAsTheRuntimeDoes) {
  const LongCase cases[] = {
      {u"42", 42},
      {u"  -17\t", -17},
      {u"2.5", 2},
      {u"3.5", 4},
      {u"-2.5", -2},
      {u"2.5000000000000000001", 3},
      {u"0.49", 0},
      {u"1.5e3", 1500},
      {u"15E-1", 2},
      {u".5", 0},
      {u"7.", 7},
      {u"&HFF", 255},
      {u"&HFFFF", 65535},
      {u"&HFFFFFFFF", -1},
      {u"&H80000000", std::numeric_limits<int32_t>::min()},
      {u"&O17", 15},
      {u"2147483647", 2147483647},
      {u"-2147483648", std::numeric_limits<int32_t>::min()},
      {u"2147483647.5", std::nullopt, 6},
      {u"2147483648", std::nullopt, 6},
      {u"1e10", std::nullopt, 6},
      {u"99999999999999999999999", std::nullopt, 6},
      {u"&H100000000", std::nullopt, 6},
      {u"", std::nullopt, 13},
      {u"abc", std::nullopt, 13},
      {u"True", std::nullopt, 13},
      {u"1,000", std::nullopt, 13},
      {u"1 2", std::nullopt, 13},
      {u"$5", std::nullopt, 13},
      {u"(5)", std::nullopt, 13},
      {u"1e", std::nullopt, 13},
      {u"&H", std::nullopt, 13},
      {u"&HG", std::nullopt, 13},
      {u"&O8", std::nullopt, 13},
      {u"-&H1", std::nullopt, 13},
  };
  for (const LongCase& c : cases) {
    const Variant v = Text(c.text);
    if (c.value) {
      EXPECT_EQ(ToLong(v), *c.value) << StringToUtf8(c.text);
    } else {
      EXPECT_EQ(ErrorOf([&] { ToLong(v); }), c.error) << StringToUtf8(c.text);
    }
  }
}

TEST(ToIntegerTest, HexUpToFourDigitsIsASixteenBitPattern) {
  EXPECT_EQ(ToInteger(Text(u"&HFFFF")), -1);
  EXPECT_EQ(ToInteger(Text(u"&H8000")), -32768);
  EXPECT_EQ(ToInteger(Text(u"&H7FFF")), 32767);
  EXPECT_EQ(ToInteger(Text(u"&O177777")), -1);
  EXPECT_EQ(ErrorOf([] { ToInteger(Text(u"&H10000")); }), 6);
  EXPECT_EQ(ErrorOf([] { ToInteger(Text(u"32768")); }), 6);
  EXPECT_EQ(ToInteger(Text(u"-32768.5")), -32768);
  EXPECT_EQ(ErrorOf([] { ToInteger(Text(u"32767.5")); }), 6);
}

TEST(ToIntegralTest, NumbersNarrowWithRoundingAndRangeChecks) {
  EXPECT_EQ(ToLong(Variant()), 0);
  EXPECT_EQ(ToLong(Variant::FromBoolean(true)), -1);
  EXPECT_EQ(ToInteger(Variant::FromBoolean(false)), 0);
  EXPECT_EQ(ToLong(Variant::FromDouble(-3.5)), -4);
  EXPECT_EQ(ToLong(Variant::FromDouble(4.5)), 4);
  EXPECT_EQ(ToLong(Variant::FromDouble(-0.5)), 0);
  EXPECT_EQ(ToByte(Variant::FromDouble(255.4)), 255);
  EXPECT_EQ(ToByte(Text(u"&HFF")), 255);
  EXPECT_EQ(ToByte(Variant::FromInteger(200)), 200);
  EXPECT_EQ(ToInteger(Variant::FromLong(-32768)), -32768);

  const std::pair<const char*, std::function<void()>> overflows[] = {
      {"Byte of True", [] { ToByte(Variant::FromBoolean(true)); }},
      {"Byte of -1", [] { ToByte(Variant::FromInteger(-1)); }},
      {"Byte of 300", [] { ToByte(Text(u"300")); }},
      {"Byte of 255.5", [] { ToByte(Variant::FromDouble(255.5)); }},
      {"Byte of &H100", [] { ToByte(Text(u"&H100")); }},
      {"Integer of 40000", [] { ToInteger(Variant::FromLong(40000)); }},
      {"Long of NaN", [] { ToLong(Variant::FromDouble(std::nan(""))); }},
      {"Long of infinity", [] { ToLong(Variant::FromDouble(INFINITY)); }},
      {"Long of 1e300", [] { ToLong(Variant::FromDouble(1e300)); }},
  };
  for (const auto& [name, call] : overflows) EXPECT_EQ(ErrorOf(call), 6) << name;
}

TEST(ConversionTest, NullAndUnconvertibleSubtypesFailForEveryTarget) {
  const std::function<void(const Variant&)> targets[] = {
      [](const Variant& v) { ToString(v); },    [](const Variant& v) { ToLong(v); },
      [](const Variant& v) { ToInteger(v); },   [](const Variant& v) { ToByte(v); },
      [](const Variant& v) { ToBoolean(v); },   [](const Variant& v) { ToDouble(v); },
      [](const Variant& v) { ToByteArray(v); },
  };
  for (const auto& target : targets) {
    EXPECT_EQ(ErrorOf([&] { target(Variant::Null()); }), 94);
    EXPECT_EQ(ErrorOf([&] { target(Variant::Missing()); }), 13);
  }
  // A byte array is text, never a number; numbers and Empty have no byte-array form.
  const Variant bytes = Variant::FromBytes({0x31, 0x00});
  EXPECT_EQ(ErrorOf([&] { ToLong(bytes); }), 13);
  EXPECT_EQ(ErrorOf([&] { ToBoolean(bytes); }), 13);
  EXPECT_EQ(ErrorOf([&] { ToDouble(bytes); }), 13);
  EXPECT_EQ(ErrorOf([] { ToByteArray(Variant::FromLong(1)); }), 13);
  EXPECT_EQ(ErrorOf([] { ToByteArray(Variant()); }), 13);
}

TEST(ToBooleanTest, AcceptsTruthWordsAndNumbers) {
  const std::pair<const char16_t*, bool> cases[] = {
      {u"True", true}, {u"  tRUE ", true}, {u"FALSE", false}, {u"false", false}, {u"0", false},
      {u"-1", true},   {u"0.0", false},    {u"0.4", true},    {u"&H0", false},   {u"&H10", true},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(ToBoolean(Text(text)), expected) << StringToUtf8(text);
  }
  EXPECT_FALSE(ToBoolean(Variant()));
  EXPECT_TRUE(ToBoolean(Variant::FromByte(2)));
  EXPECT_TRUE(ToBoolean(Variant::FromDouble(0.1)));
  EXPECT_EQ(ErrorOf([] { ToBoolean(Text(u"")); }), 13);
  EXPECT_EQ(ErrorOf([] { ToBoolean(Text(u"yes")); }), 13);
  EXPECT_EQ(ErrorOf([] { ToBoolean(Text(u"Tru e")); }), 13);
}

TEST(ToDoubleTest, ReadsDecimalAndPatternText) {
  EXPECT_EQ(ToDouble(Text(u" 1.25E2 ")), 125.0);
  EXPECT_EQ(ToDouble(Text(u"-0.1")), -0.1);
  EXPECT_EQ(ToDouble(Text(u"1e-400")), 0.0);
  EXPECT_EQ(ToDouble(Text(u"&HFFFFFFFF")), -1.0);
  EXPECT_EQ(ToDouble(Variant::FromBoolean(true)), -1.0);
  EXPECT_EQ(ErrorOf([] { ToDouble(Text(u"1e400")); }), 6);
  EXPECT_EQ(ErrorOf([] { ToDouble(Text(u"1e999999999999")); }), 6);
  EXPECT_EQ(ErrorOf([] { ToDouble(Text(u"1.2.3")); }), 13);
}

TEST(ByteArrayTest, TextIsTwoBytesPerCodeUnitLowByteFirst) {
  EXPECT_EQ(ToByteArray(Text(u"AB")), (ByteArray{0x41, 0x00, 0x42, 0x00}));
  EXPECT_EQ(ToByteArray(Text(u"\u20AC")), (ByteArray{0xAC, 0x20}));
  EXPECT_TRUE(ToByteArray(Text(u"")).empty());
  EXPECT_EQ(ToByteArray(Variant::FromBytes({9, 8, 7})), (ByteArray{9, 8, 7}));
  const ByteArray odd = {0x01, 0x02, 0x03};
  EXPECT_EQ(ToString(Variant::FromBytes(odd)), (String{0x0201, 0x0003}));
}

TEST(ValueEqualsTest, ComparesByValueAcrossNumericSubtypes) {
  const Variant zero_int = Variant::FromInteger(0);
  EXPECT_TRUE(ValueEquals(Variant::FromLong(0), zero_int));
  EXPECT_TRUE(ValueEquals(Variant::FromByte(0), zero_int));
  EXPECT_TRUE(ValueEquals(Variant::FromBoolean(false), zero_int));
  EXPECT_TRUE(ValueEquals(Variant::FromBoolean(true), Variant::FromLong(-1)));
  EXPECT_TRUE(ValueEquals(Variant::FromDouble(3.0), Variant::FromByte(3)));
  EXPECT_FALSE(ValueEquals(Variant::FromLong(-1), zero_int));
  EXPECT_FALSE(ValueEquals(Variant::FromDouble(0.5), zero_int));
  EXPECT_TRUE(ValueEquals(Text(u""), Text(u"")));
  EXPECT_FALSE(ValueEquals(Text(u"a"), Text(u"A")));
  EXPECT_TRUE(ValueEquals(Variant(), Variant()));
  EXPECT_TRUE(ValueEquals(Variant(), zero_int));
  EXPECT_TRUE(ValueEquals(Text(u""), Variant()));
  EXPECT_FALSE(ValueEquals(Variant(), Text(u"0")));
  // Text never equals a number, so the text "0" is not mistaken for the default 0.
  EXPECT_FALSE(ValueEquals(Text(u"0"), zero_int));
  EXPECT_FALSE(ValueEquals(Variant::Null(), Variant::Null()));
  EXPECT_TRUE(ValueEquals(Variant::Missing(), Variant::Missing()));
  EXPECT_FALSE(ValueEquals(Variant::Missing(), Variant()));
  EXPECT_FALSE(ValueEquals(Variant::FromDouble(std::nan("")), Variant::FromDouble(std::nan(""))));
}

TEST(Utf8Test, RoundTripsAndReplacesInvalidInput) {
  const String mixed = u"A\u00E9\u20AC\U0001F600";
  EXPECT_EQ(Utf8ToString(StringToUtf8(mixed)), mixed);
  EXPECT_EQ(StringToUtf8(u"\u00E9"), "\xC3\xA9");
  EXPECT_EQ(Utf8ToString("a\xFF"
                         "b"),
            u"a\uFFFDb");
  EXPECT_EQ(Utf8ToString("\xC0\xAF"), u"\uFFFD\uFFFD");            // overlong
  EXPECT_EQ(Utf8ToString("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // surrogate
  EXPECT_EQ(Utf8ToString("\xE2\x82"), u"\uFFFD");                  // truncated
  EXPECT_EQ(Utf8ToString("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(StringToUtf8(String{0xD800, u'x'}), "\xEF\xBF\xBDx");
  EXPECT_EQ(Utf8ToString(std::string_view("\0z", 2)), (String{0, u'z'}));
}

}  // namespace
}  // namespace usborva
