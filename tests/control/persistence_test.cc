#include <gtest/gtest.h>

#include <map>

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
    if (!ValueEquals(value, default_value)) values[key] = value;
  }
  std::map<String, Variant> values;
  std::vector<std::string> reads, writes;
  String fail_key;
};

using test::ErrorOf;

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
  ASSERT_EQ(bag.writes.size(), 35u);
  EXPECT_EQ(bag.writes[0], "CardDataMasked");
  EXPECT_EQ(bag.writes[7], "CardData");
  EXPECT_EQ(bag.writes[8], "PortOpen");
  EXPECT_EQ(bag.writes[34], "EncTrack3Data");
  EXPECT_TRUE(container.notifications.empty());
}

TEST_F(PersistenceTest, ValuesRoundTripWithTheirTypes) {
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
  ASSERT_EQ(bag.reads.size(), 35u);
  EXPECT_EQ(bag.reads[0], "CardData");
  EXPECT_EQ(bag.reads[7], "CardDataMasked");
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
}

TEST_F(PersistenceTest, ClearBufferResetsItsFieldsAndNotifiesCardDataOnly) {
  USBORVA control(container);
  control.InitProperties();
  control.put_CardData(u"x");
  control.put_Track2LengthMasked(4);
  control.put_SessionID(Variant::FromBytes({9}));
  control.DispatchInputReport(std::vector<uint8_t>{0x20, 1, 2, 3});
  control.DispatchInputReport(std::vector<uint8_t>{0x23, 1, 0, 1, 'T'});
  container.notifications.clear();
  container.events.clear();
  EXPECT_EQ(control.ClearBuffer(), 0);
  EXPECT_EQ(control.get_CardData(), u"");
  EXPECT_EQ(control.get_Track2LengthMasked(), 0);
  EXPECT_TRUE(control.get_SessionID().bytes().empty());
  EXPECT_EQ(control.get_Track1Data(), u"T");
  EXPECT_EQ(control.get_DeviceState(), 1);
  EXPECT_EQ(container.notifications, (std::vector<std::string>{"CardData"}));
  EXPECT_TRUE(container.events.empty());
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
