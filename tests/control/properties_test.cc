// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include "usborva/usborva.h"
#include "usborva_test/error_of.h"
#include "usborva_test/recording_container.h"

namespace usborva {
namespace {

using test::RecordingContainer;

using test::ErrorOf;

class PropertiesTest : public ::testing::Test {
 protected:
  PropertiesTest() { control.InitProperties(); }
  RecordingContainer container;
  USBORVA control{container};
};

TEST_F(PropertiesTest, NewInstanceIsEmptyWithTimerDisabledAt25ms) {
  EXPECT_EQ(control.get_CardData(), u"");
  EXPECT_EQ(control.get_Firmware(), u"");
  EXPECT_EQ(control.get_Track1Length(), 0);
  EXPECT_EQ(control.get_DeviceStatus(), 0);
  EXPECT_FALSE(control.get_PortOpen());
  const Variant session = control.get_SessionID();
  ASSERT_EQ(session.type(), VarType::kByteArray);
  EXPECT_TRUE(session.bytes().empty());
  EXPECT_EQ(control.get_SigilData().type(), VarType::kString);
  EXPECT_FALSE(control.tmrMain().Enabled());
  EXPECT_EQ(control.tmrMain().Interval(), 25);
  EXPECT_TRUE(container.notifications.empty());
}

TEST_F(PropertiesTest, StoredPutsStoreAnyValueThenNotifyByName) {
  control.put_Track1Length(-5);
  control.put_CardData(u"%B123?");
  control.put_Track3LengthMasked(2147483647);
  control.put_SwipeCommandOutput(u"0E 10");
  EXPECT_EQ(control.get_Track1Length(), -5);
  EXPECT_EQ(control.get_CardData(), u"%B123?");
  EXPECT_EQ(control.get_Track3LengthMasked(), 2147483647);
  EXPECT_EQ(control.get_SwipeCommandOutput(), u"0E 10");
  EXPECT_EQ(container.notifications,
            (std::vector<std::string>{"Track1Length", "CardData", "Track3LengthMasked",
                                      "SwipeCommandOutput"}));
}

TEST_F(PropertiesTest, RefusedPutsFail387InDesignerAnd382AtRunTimeAndChangeNothing) {
  const std::vector<std::function<void()>> refused = {
      [&] { control.put_Firmware(u"x"); },       [&] { control.put_SigilLen(1); },
      [&] { control.put_SequenceNumber(1); },    [&] { control.put_SigilStatus(1); },
      [&] { control.put_DUKPTKSN(u"x"); },       [&] { control.put_DeviceSerialNum(u"x"); },
      [&] { control.put_CardEncodeType(u"x"); }, [&] { control.put_ReaderID(u"x"); },
      [&] { control.put_DeviceState(1); },       [&] { control.put_SessionStatus(1); },
      [&] { control.put_DeviceStatus(1); },      [&] { control.put_Track1Data(u"x"); },
      [&] { control.put_Track2Data(u"x"); },     [&] { control.put_Track3Data(u"x"); },
      [&] { control.put_EncTrack1Data(u"x"); },  [&] { control.put_EncTrack2Data(u"x"); },
      [&] { control.put_EncTrack3Data(u"x"); },  [&] { control.put_UsbProduct(u"x"); },
      [&] { control.put_BitmapCRC(u"x"); },      [&] { control.put_AuthLabel(u"x"); },
      [&] { control.put_PINLabel(u"x"); },       [&] { control.put_MSRLabel(u"x"); },
      [&] { control.put_PINKSN(u"x"); },         [&] { control.put_DeviceConfig(u"x"); },
      [&] { control.put_MSRKSN(u"x"); },
  };
  ASSERT_EQ(refused.size(), 25u);
  for (bool user_mode : {false, true}) {
    container.user_mode = user_mode;
    for (const auto& put : refused) EXPECT_EQ(ErrorOf(put), user_mode ? 382 : 387);
  }
  EXPECT_EQ(control.get_Firmware(), u"");
  EXPECT_EQ(control.get_DeviceState(), 0);
  EXPECT_TRUE(container.notifications.empty());
}

TEST_F(PropertiesTest, RefusalCarriesTheStandardHresultAndText) {
  try {
    control.put_Firmware(u"1.0");
    FAIL();
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.hresult(), 0x800A017Eu);
    EXPECT_STREQ(e.what(), "Set not supported at runtime");
  }
}

TEST_F(PropertiesTest, PortOpenCannotBeSetInADesigner) {
  container.user_mode = false;
  EXPECT_EQ(ErrorOf([&] { control.put_PortOpen(true); }), 387);
  EXPECT_FALSE(control.get_PortOpen());
  EXPECT_FALSE(control.tmrMain().Enabled());
  EXPECT_TRUE(container.notifications.empty());
}

TEST_F(PropertiesTest, ConvertingPuts) {
  control.put_SigilData(Variant::FromLong(1234));
  EXPECT_EQ(control.get_SigilData(), Variant::FromString(u"1234"));
  control.put_SessionID(Variant::FromString(u"AB"));
  EXPECT_EQ(control.get_SessionID(), Variant::FromBytes({0x41, 0x00, 0x42, 0x00}));
  control.put_SessionID(Variant::FromBytes({1, 2, 3}));
  EXPECT_EQ(control.get_SessionID(), Variant::FromBytes({1, 2, 3}));
  EXPECT_EQ(container.notifications,
            (std::vector<std::string>{"SigilData", "SessionID", "SessionID"}));
}

TEST_F(PropertiesTest, FailedConversionKeepsTheOldValueAndDoesNotNotify) {
  control.put_SigilData(Variant::FromString(u"kept"));
  container.notifications.clear();
  EXPECT_EQ(ErrorOf([&] { control.put_SigilData(Variant::Null()); }), 94);
  EXPECT_EQ(control.get_SigilData(), Variant::FromString(u"kept"));
  EXPECT_TRUE(ErrorOf([&] { control.put_SessionID(Variant::Null()); }).has_value());
  EXPECT_TRUE(control.get_SessionID().bytes().empty());
  EXPECT_TRUE(container.notifications.empty());
}

TEST_F(PropertiesTest, FailingNotificationIsReturnedButTheValueStays) {
  container.fail_property_changed = true;
  EXPECT_EQ(ErrorOf([&] { control.put_CardData(u"stays"); }), 5);
  EXPECT_EQ(control.get_CardData(), u"stays");
}

TEST_F(PropertiesTest, FailingUserModeIsReturnedAndNothingIsStored) {
  container.fail_user_mode = true;
  EXPECT_EQ(ErrorOf([&] { control.put_Firmware(u"x"); }), 5);
  EXPECT_EQ(ErrorOf([&] { control.put_PortOpen(true); }), 5);
  EXPECT_FALSE(control.get_PortOpen());
}

}  // namespace
}  // namespace usborva
