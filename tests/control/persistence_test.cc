// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "usborva/usborva.h"
#include "usborva_test/error_of.h"
#include "usborva_test/recording_container.h"

namespace usborva {
namespace {

// An in-memory bag that keeps the write order and can be told to fail at a key.
class MapBag : public PropertyBag {
 public:
  Variant ReadProperty(const String& key, const Variant& default_value) override {
    reads.push_back(test::Utf8(key));
    if (key == fail_key) throw AutomationError(error::kInvalidProcedureCall);
    auto it = values.find(key);
    return it == values.end() ? default_value : it->second;
  }
  void WriteProperty(const String& key, const Variant& value,
                     const Variant& default_value) override {
    writes.push_back(test::Utf8(key));
    if (key == fail_key) throw AutomationError(error::kInvalidProcedureCall);
    // A value equal to its default is not stored, and removes what an earlier save left.
    if (ValueEquals(value, default_value)) {
      values.erase(key);
    } else {
      values[key] = value;
    }
  }
  std::map<String, Variant> values;
  std::vector<std::string> reads, writes;
  String fail_key;
};

using test::ErrorOf;
using Strings = std::vector<std::string>;

const Strings kReadOrder = {"CardData",
                            "Track1Length",
                            "Track2Length",
                            "Track3Length",
                            "Track1LengthMasked",
                            "Track2LengthMasked",
                            "Track3LengthMasked",
                            "CardDataMasked",
                            "PortOpen",
                            "SigilLen",
                            "SequenceNumber",
                            "SigilStatus",
                            "DeviceSerialNum",
                            "UsbProduct",
                            "BitmapCRC",
                            "AuthLabel",
                            "PINLabel",
                            "MSRLabel",
                            "Firmware",
                            "MSRKSN",
                            "PINKSN",
                            "DeviceConfig",
                            "CardEncodeType",
                            "DUKPTKSN",
                            "ReaderID",
                            "SwipeCommandOutput",
                            "DeviceState",
                            "SessionStatus",
                            "DeviceStatus",
                            "Track1Data",
                            "Track2Data",
                            "Track3Data",
                            "EncTrack1Data",
                            "EncTrack2Data",
                            "EncTrack3Data"};
const Strings kClearCardData = {"CardData", "Track1Data", "Track2Data", "Track3Data"};

// The write order: CardDataMasked first and CardData eighth, the rest as read.
Strings WriteOrder() {
  Strings order = kReadOrder;
  std::swap(order[0], order[7]);
  return order;
}

bool Contains(const Strings& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// Every one of the 35 keys with a value other than its default, in the type it is saved as.
std::map<String, Variant> FullBag() {
  std::map<String, Variant> values;
  int32_t n = 0;
  for (const std::string& name : kReadOrder) {
    const String key(name.begin(), name.end());
    ++n;
    if (name.find("Length") != std::string::npos || name == "SigilLen" ||
        name == "SequenceNumber" || name == "SigilStatus") {
      values[key] = Variant::FromLong(-n);
    } else if (name == "DeviceState" || name == "SessionStatus" || name == "DeviceStatus") {
      values[key] = Variant::FromByte(static_cast<uint8_t>(200 + n));
    } else if (name == "PortOpen") {
      values[key] = Variant::FromBoolean(true);
    } else {
      values[key] = Variant::FromString(key + u" value");
    }
  }
  return values;
}

Strings KeysOf(const std::map<String, Variant>& values) {
  Strings keys;
  for (const auto& [key, value] : values) keys.push_back(test::Utf8(key));
  return keys;
}

class PersistenceTest : public ::testing::Test {
 protected:
  test::RecordingContainer container;
  MapBag bag;
};

TEST_F(PersistenceTest, NewInstanceSavesNoKeyButVisitsAll35InWriteOrder) {
  USBORVA control(container);
  control.InitProperties();
  control.WriteProperties(bag);
  EXPECT_TRUE(bag.values.empty());
  EXPECT_EQ(bag.writes, WriteOrder());
  control.ReadProperties(bag);
  EXPECT_EQ(bag.reads, kReadOrder);
  EXPECT_TRUE(container.notifications.empty());
}

TEST_F(PersistenceTest, DefaultSaveOmitsClearCardDataAndKeepsEverythingElse) {
  bag.values = FullBag();
  USBORVA control(container);
  control.ReadProperties(bag);  // a bag an older save filled with clear card data
  EXPECT_EQ(control.get_CardData(), u"CardData value");
  EXPECT_EQ(control.get_Track2Data(), u"Track2Data value");
  control.DispatchInputReport(std::vector<uint8_t>{0x23, 3, 0, 2, ';', '4'});
  control.WriteProperties(bag);
  EXPECT_EQ(bag.writes, WriteOrder());
  for (const std::string& name : kClearCardData) EXPECT_FALSE(Contains(KeysOf(bag.values), name));
  EXPECT_EQ(bag.values.size(), 31u);
  EXPECT_EQ(bag.values.at(u"CardDataMasked"), Variant::FromString(u"CardDataMasked value"));
  EXPECT_EQ(bag.values.at(u"EncTrack1Data"), Variant::FromString(u"EncTrack1Data value"));
  EXPECT_EQ(bag.values.at(u"DUKPTKSN"), Variant::FromString(u"DUKPTKSN value"));
  EXPECT_EQ(bag.values.at(u"PINKSN"), Variant::FromString(u"PINKSN value"));
  EXPECT_EQ(bag.values.at(u"MSRKSN"), Variant::FromString(u"MSRKSN value"));
  // Saving changes nothing the running control holds.
  EXPECT_EQ(control.get_Track3Data(), u";4");
  EXPECT_EQ(control.get_CardData(), u"CardData value");
}

TEST_F(PersistenceTest, OptedInSaveKeepsAll35AndEveryOneLoadsBack) {
  container.persist_card_data = true;
  const std::map<String, Variant> full = FullBag();
  bag.values = full;
  USBORVA control(container);
  control.ReadProperties(bag);
  MapBag saved;
  control.WriteProperties(saved);
  EXPECT_EQ(saved.values, full);
}

TEST_F(PersistenceTest, ValuesRoundTripWithTheirTypes) {
  container.persist_card_data = true;
  USBORVA saved(container);
  saved.InitProperties();
  saved.put_CardData(u"%B4111?");
  saved.put_Track1Length(-1);
  saved.put_SigilData(Variant::FromString(u"never saved"));
  saved.put_SessionID(Variant::FromBytes({1, 2}));
  saved.DispatchInputReport(std::vector<uint8_t>{0x20, 7, 8, 9});
  saved.WriteProperties(bag);
  EXPECT_EQ(bag.values.at(u"Track1Length"), Variant::FromLong(-1));
  EXPECT_EQ(bag.values.at(u"DeviceState"), Variant::FromByte(7));
  EXPECT_EQ(bag.values.count(u"SigilData") + bag.values.count(u"SessionID"), 0u);

  USBORVA loaded(container);
  loaded.ReadProperties(bag);
  EXPECT_EQ(bag.reads, kReadOrder);
  EXPECT_EQ(loaded.get_CardData(), u"%B4111?");
  EXPECT_EQ(loaded.get_Track1Length(), -1);
  EXPECT_EQ(loaded.get_DeviceStatus(), 9);
  EXPECT_EQ(loaded.get_SigilData(), Variant::FromString(u""));
  EXPECT_TRUE(loaded.get_SessionID().bytes().empty());
}

TEST_F(PersistenceTest, SavedPortOpenLoadsAsAFlagOnly) {
  bag.values[u"PortOpen"] = Variant::FromBoolean(true);
  USBORVA control(container);
  control.ReadProperties(bag);
  EXPECT_TRUE(control.get_PortOpen());
  EXPECT_FALSE(control.tmrMain().Enabled());
  EXPECT_TRUE(container.notifications.empty());
}

TEST_F(PersistenceTest, BadValuesStopLoadingAtTheirKey) {
  bag.values[u"CardData"] = Variant::FromString(u"loaded");
  bag.values[u"Track2Length"] = Variant::FromString(u"not a number");
  bag.values[u"Track3Length"] = Variant::FromLong(3);
  USBORVA control(container);
  EXPECT_EQ(ErrorOf([&] { control.ReadProperties(bag); }), 13);
  EXPECT_EQ(control.get_CardData(), u"loaded");
  EXPECT_EQ(control.get_Track3Length(), 0);

  MapBag overflow;
  overflow.values[u"DeviceState"] = Variant::FromLong(300);
  overflow.values[u"DeviceStatus"] = Variant::FromLong(1);
  USBORVA other(container);
  EXPECT_EQ(ErrorOf([&] { other.ReadProperties(overflow); }), 6);
  EXPECT_EQ(overflow.reads.back(), "DeviceState");
  EXPECT_EQ(other.get_DeviceStatus(), 0);
}

TEST_F(PersistenceTest, FailingBagStopsAtThatKeyBothWays) {
  USBORVA control(container);
  control.InitProperties();
  control.put_CardDataMasked(u"m");
  control.put_SwipeCommandOutput(u"s");
  bag.fail_key = u"SigilLen";
  EXPECT_TRUE(ErrorOf([&] { control.WriteProperties(bag); }).has_value());
  EXPECT_EQ(bag.writes.back(), "SigilLen");
  EXPECT_EQ(bag.values.count(u"CardDataMasked"), 1u);
  EXPECT_EQ(bag.values.count(u"SwipeCommandOutput"), 0u);

  MapBag full;
  full.values = FullBag();
  full.fail_key = u"SigilLen";
  USBORVA loaded(container);
  EXPECT_EQ(ErrorOf([&] { loaded.ReadProperties(full); }), 5);
  EXPECT_EQ(full.reads.back(), "SigilLen");
  EXPECT_EQ(loaded.get_CardDataMasked(), u"CardDataMasked value");  // read before it
  EXPECT_TRUE(loaded.get_PortOpen());
  EXPECT_EQ(loaded.get_SigilLen(), 0);  // the failing key and those after it stay empty
  EXPECT_EQ(loaded.get_SwipeCommandOutput(), u"");
  EXPECT_EQ(loaded.get_EncTrack3Data(), u"");
}

TEST_F(PersistenceTest, ClearBufferResetsItsFieldsAndNotifiesCardDataOnly) {
  container.persist_card_data = true;
  bag.values = FullBag();
  USBORVA control(container);
  control.ReadProperties(bag);
  control.put_SessionID(Variant::FromBytes({9, 8}));
  control.put_SigilData(Variant::FromString(u"kept"));
  container.notifications.clear();
  EXPECT_EQ(control.ClearBuffer(), 0);
  EXPECT_EQ(container.notifications, Strings{"CardData"});
  EXPECT_TRUE(container.events.empty());
  EXPECT_FALSE(control.get_PortOpen());
  EXPECT_EQ(control.get_SessionID(), Variant::FromBytes({}));
  EXPECT_EQ(control.get_SigilData(), Variant::FromString(u"kept"));
  // What is left to save is exactly what ClearBuffer keeps, with the values it had.
  MapBag after;
  control.WriteProperties(after);
  EXPECT_EQ(KeysOf(after.values),
            (Strings{"DeviceState", "DeviceStatus", "EncTrack1Data", "EncTrack2Data",
                     "EncTrack3Data", "SessionStatus", "Track1Data", "Track2Data", "Track3Data"}));
  for (const auto& [key, value] : after.values) EXPECT_EQ(value, bag.values.at(key));
}

TEST_F(PersistenceTest, DefaultSettingsGoThroughTheStoreUnderUsbhidStartup) {
  USBORVA control(container);
  String key = u"Port";
  String setting = u"COM3";
  EXPECT_EQ(control.GetDefSetting(key), u"");
  EXPECT_EQ(control.GetDefSetting(key, Variant::FromLong(7)), u"7");
  EXPECT_EQ(control.SaveDefSetting(key, setting), u"");
  EXPECT_EQ(control.GetDefSetting(key, Variant::FromString(u"d")), u"COM3");
  EXPECT_EQ((container.settings.at({u"USBHID", u"Startup", u"Port"})), u"COM3");
  EXPECT_EQ(key, u"Port");
  EXPECT_EQ(setting, u"COM3");
  container.fail_settings = true;
  EXPECT_EQ(ErrorOf([&] { control.SaveDefSetting(key, setting); }), 75);
  EXPECT_EQ(ErrorOf([&] { control.GetDefSetting(key); }), 75);
}

TEST_F(PersistenceTest, AboutShowsFiveLinesAndReturnsEmpty) {
  USBORVA control(container);
  EXPECT_EQ(control.About(), u"");
  ASSERT_EQ(container.message_boxes.size(), 1u);
  const std::string text = test::Utf8(container.message_boxes[0]);
  size_t breaks = 0;
  for (size_t i = text.find("\r\n"); i != std::string::npos; i = text.find("\r\n", i + 2)) {
    ++breaks;
  }
  EXPECT_EQ(breaks, 4u);
  EXPECT_NE(text.substr(text.size() - 2), "\r\n");
}

}  // namespace
}  // namespace usborva
