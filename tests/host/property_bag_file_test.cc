// SPDX-License-Identifier: Apache-2.0
#include "usborva/property_bag_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "host/property_literal.h"
#include "temp_folder.h"
#include "usborva/automation_error.h"

namespace usborva {
namespace {

using testing::ReadAll;
using testing::TempFolder;
using testing::WriteAll;

// Equal subtype and value; doubles by their bits, so -0.0 and 0.0 differ and NaN is NaN.
bool SameVariant(const Variant& a, const Variant& b) {
  if (a.type() == VarType::kDouble && b.type() == VarType::kDouble) {
    const double x = a.dbl(), y = b.dbl();
    return (std::isnan(x) && std::isnan(y)) || std::memcmp(&x, &y, sizeof x) == 0;
  }
  return a == b;
}

std::vector<Variant> EverySubtype() {
  const double inf = std::numeric_limits<double>::infinity();
  return {Variant::FromInteger(-1),
          Variant::FromInteger(INT16_MIN),
          Variant::FromInteger(INT16_MAX),
          Variant::FromLong(-1),
          Variant::FromLong(0),
          Variant::FromLong(INT32_MIN),
          Variant::FromLong(INT32_MAX),
          Variant::FromByte(0),
          Variant::FromByte(255),
          Variant::FromBoolean(true),
          Variant::FromBoolean(false),
          Variant::FromDouble(0.1),
          Variant::FromDouble(-0.0),
          Variant::FromDouble(2.0),
          Variant::FromDouble(1e300),
          Variant::FromDouble(5e-324),
          Variant::FromDouble(-1.5e-7),
          Variant::FromDouble(inf),
          Variant::FromDouble(-inf),
          Variant::FromDouble(std::numeric_limits<double>::quiet_NaN()),
          Variant::FromString(u""),
          Variant::FromString(u" a = \"b\" ; c \\ \r\n\t"),
          Variant::FromString(String(u"n\0l\x01\x7f", 5) + u"\u00e9\U0001F600" + u'\xDBFF'),
          Variant::FromBytes({}),
          Variant::FromBytes({0x00, 0xA0, 0xFF}),
          Variant(),
          Variant::Null(),
          Variant::Missing()};
}

TEST(PropertyBagFileTest, EverySubtypeRoundTripsExactly) {
  TempFolder folder;
  const std::vector<Variant> values = EverySubtype();
  PropertyBagFile bag(folder / "form.bag");
  for (size_t i = 0; i < values.size(); ++i) {
    // Null never equals anything, so every value is stored.
    bag.WriteProperty(u"K" + String(1, static_cast<char16_t>(u'A' + i)), values[i],
                      Variant::Null());
  }
  bag.WriteProperty(u"Key with spaces", Variant::FromLong(7), Variant::Null());
  bag.Save();
  struct stat info;
  ASSERT_EQ(stat((folder / "form.bag").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  PropertyBagFile loaded = PropertyBagFile::Load(folder / "form.bag");
  for (size_t i = 0; i < values.size(); ++i) {
    const Variant read =
        loaded.ReadProperty(u"k" + String(1, static_cast<char16_t>(u'A' + i)), Variant::Null());
    EXPECT_TRUE(SameVariant(read, values[i])) << "value " << i << ": " << host::FormatLiteral(read);
  }
  EXPECT_EQ(loaded.ReadProperty(u"Key with spaces", Variant()), Variant::FromLong(7));
  EXPECT_EQ(loaded.Format(), bag.Format());
}

TEST(PropertyBagFileTest, FileIsReadableText) {
  PropertyBagFile bag("unused");
  bag.WriteProperty(u"CardDataMasked", Variant::FromString(u"%B4111\"x\"?"),
                    Variant::FromString(u""));
  bag.WriteProperty(u"Track1Length", Variant::FromLong(76), Variant::FromInteger(0));
  bag.WriteProperty(u"PortOpen", Variant::FromBoolean(true), Variant::FromBoolean(false));
  bag.WriteProperty(u"DeviceState", Variant::FromByte(3), Variant::FromInteger(0));
  EXPECT_EQ(bag.Format(),
            "; USBORVA property bag\n"
            "CardDataMasked = \"%B4111\\\"x\\\"?\"\n"
            "Track1Length = 76\n"
            "PortOpen = True\n"
            "DeviceState = CByte(3)\n");
}

TEST(PropertyBagFileTest, ValuesEqualToTheirDefaultsAreNotStored) {
  PropertyBagFile bag = PropertyBagFile::Parse("Track1Length = 5\nSigilLen = 2\n", "form.bag");
  const Variant zero = Variant::FromInteger(0);
  bag.WriteProperty(u"Track1Length", Variant::FromLong(0), zero);  // stored before: removed
  bag.WriteProperty(u"DeviceState", Variant::FromByte(0), zero);
  bag.WriteProperty(u"PortOpen", Variant::FromBoolean(false), Variant::FromBoolean(false));
  bag.WriteProperty(u"CardData", Variant::FromString(u""), Variant::FromString(u""));
  bag.WriteProperty(u"ReaderID", Variant::FromString(u"0"), zero);  // text is not the number
  bag.WriteProperty(u"sigillen", Variant::FromLong(-1), zero);      // replaces, keeps its place
  EXPECT_EQ(bag.Keys(), (std::vector<String>{u"sigillen", u"ReaderID"}));
  EXPECT_EQ(bag.ReadProperty(u"Track1Length", zero), zero);
  EXPECT_EQ(bag.ReadProperty(u"SigilLen", zero), Variant::FromLong(-1));
}

TEST(PropertyBagFileTest, MalformedLinesFailReadPropertyOfTheirKeyNamingFileAndLine) {
  TempFolder folder;
  const std::string path = folder / "form.bag";
  const std::string text =
      "; comment\n"
      "Track1Length = 76\n"
      "CardData = \"unterminated\n"
      "Track2Length = CByte(300)\r\n"
      "DeviceState = 3\n"
      "deviceState = 4\n"
      "Track3Length =\n";
  WriteAll(path, text);
  struct stat before;
  ASSERT_EQ(stat(path.c_str(), &before), 0);

  PropertyBagFile bag = PropertyBagFile::Load(path);
  EXPECT_EQ(bag.ReadProperty(u"Track1Length", Variant()), Variant::FromLong(76));
  EXPECT_EQ(bag.ReadProperty(u"Absent", Variant::FromInteger(9)), Variant::FromInteger(9));
  const std::vector<std::pair<String, int>> bad = {
      {u"CardData", 3}, {u"Track2Length", 4}, {u"DeviceState", 6}, {u"Track3Length", 7}};
  for (const auto& [key, line] : bad) {
    try {
      bag.ReadProperty(key, Variant());
      ADD_FAILURE() << "no error for line " << line;
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.number(), error::kInvalidPropertyValue);
      EXPECT_NE(e.description().find(path + ", line " + std::to_string(line) + ":"),
                std::string::npos)
          << e.description();
    }
  }
  // Loading touched nothing.
  struct stat after;
  ASSERT_EQ(stat(path.c_str(), &after), 0);
  EXPECT_EQ(ReadAll(path), text);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
  EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);

  // A save keeps the bad lines a person may still mend, and mends those rewritten.
  bag.WriteProperty(u"CardData", Variant::FromString(u"x"), Variant::FromString(u""));
  EXPECT_EQ(bag.Format(),
            "; USBORVA property bag\nTrack1Length = 76\nCardData = \"x\"\n"
            "Track2Length = CByte(300)\nDeviceState = 3\ndeviceState = 4\nTrack3Length =\n");
}

TEST(PropertyBagFileTest, ALineWithNoReadableKeyFailsEveryRead) {
  PropertyBagFile bag = PropertyBagFile::Parse("Track1Length = 5\njust words\n", "f.bag");
  for (const String key : {u"Track1Length", u"CardData"}) {
    try {
      bag.ReadProperty(key, Variant());
      ADD_FAILURE() << "no error";
    } catch (const AutomationError& e) {
      EXPECT_NE(e.description().find("f.bag, line 2:"), std::string::npos) << e.description();
    }
  }
}

// Hand-edited bytes that are no UTF-8 read as the product's one codec reads them, in a
// bare key and in a quoted value alike.
TEST(PropertyBagFileTest, MalformedUtf8InKeysAndValuesReadsAsTheOneCodecReadsIt) {
  PropertyBagFile bag = PropertyBagFile::Parse("\xE2\x82K = \"\xE2\x82\x41\"\n", "f.bag");
  EXPECT_EQ(bag.ReadProperty(u"\uFFFDK", Variant()), Variant::FromString(u"\uFFFDA"));
}

TEST(PropertyBagFileTest, MissingFileIsError53) {
  TempFolder folder;
  try {
    PropertyBagFile::Load(folder / "none.bag");
    ADD_FAILURE() << "loaded a missing file";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), error::kFileNotFound);
    EXPECT_NE(e.description().find(folder / "none.bag"), std::string::npos);
  }
}

TEST(PropertyLiteralTest, AcceptedSpellingsAndRejections) {
  const std::vector<std::pair<std::string, Variant>> accepted = {
      {"CLng(5)", Variant::FromLong(5)},
      {" cint( -3 ) ", Variant::FromInteger(-3)},
      {"true", Variant::FromBoolean(true)},
      {"CDbl(2)", Variant::FromDouble(2)},
      {"Bytes(0aFF)", Variant::FromBytes({0x0A, 0xFF})},
      {"1e5", Variant::FromDouble(1e5)},
      {"+7", Variant::FromLong(7)},
      {"\"\\u00e9\\x41\"", Variant::FromString(u"\u00e9A")}};
  for (const auto& [text, expected] : accepted) {
    std::string reason;
    const std::optional<Variant> value = host::ParseLiteral(text, &reason);
    EXPECT_TRUE(value && SameVariant(*value, expected)) << text << ": " << reason;
  }
  for (const char* text :
       {"CInt(40000)", "2147483648", "CByte(-1)", "Bytes(0)", "\"x\" y", "Tru", "--5", "+-1.0",
        "0x10", "1.5.5", "\"\\q\"", "CInt(1.5)", "Infinity", "1e999", ""}) {
    std::string reason;
    const std::optional<Variant> value = host::ParseLiteral(text, &reason);
    EXPECT_FALSE(value.has_value()) << text;
    EXPECT_FALSE(reason.empty()) << text;
  }
}

}  // namespace
}  // namespace usborva
