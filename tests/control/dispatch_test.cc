// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include "usborva/usborva.h"
#include "usborva_test/recording_container.h"

namespace usborva {
namespace {

using Bytes = std::vector<uint8_t>;

class DispatchTest : public ::testing::Test {
 protected:
  DispatchTest() { control.InitProperties(); }
  void Dispatch(const Bytes& report) { control.DispatchInputReport(report); }
  test::RecordingContainer container;
  USBORVA control{container};
};

Bytes Padded(Bytes head, size_t size = 64) {
  head.resize(std::max(size, head.size()), 0);
  return head;
}

TEST_F(DispatchTest, DeviceStatusIsStoredBeforeTheEvent) {
  container.on_event = [&](const std::string&) {
    EXPECT_EQ(control.get_DeviceState(), 1);
    EXPECT_EQ(control.get_DeviceStatus(), 3);
  };
  Dispatch(Padded({0x20, 1, 2, 3}));
  EXPECT_EQ(control.get_SessionStatus(), 2);
  EXPECT_EQ(container.events, (std::vector<std::string>{"DeviceStatusChanged(1,2,3)"}));
}

TEST_F(DispatchTest, StatusResponsesRaiseEventsAndStoreNothing) {
  Dispatch(Padded({0x22, 0, 1, 2}));
  Dispatch(Padded({0x25, 0, 7}));
  Dispatch(Padded({0x27, 4}));
  EXPECT_EQ(container.events, (std::vector<std::string>{"CardStatusChanged(0,1,2)",
                                                        "SelectResponse(0,7)", "DisplayDone(4)"}));
  EXPECT_EQ(control.get_DeviceState(), 0);
}

TEST_F(DispatchTest, PinResponseCarriesKsnAndEpbAsUpperHex) {
  Dispatch(Padded({0x24, 0,    0xFF, 0xFF, 0x98, 0x76, 0x54, 0x32, 0x10, 0xE0,
                   0x00, 0x0A, 0xDE, 0xAD, 0xBE, 0xEF, 0x01, 0x23, 0x45, 0x67}));
  EXPECT_EQ(container.events,
            (std::vector<std::string>{"PINResponse(0,FFFF9876543210E0000A,DEADBEEF01234567)"}));
}

TEST_F(DispatchTest, CardItemsFillFieldsSilentlyAndTheEndItemRaises) {
  Dispatch(Padded({0x23, 1, 0, 3, '%', 'B', '4'}));
  Dispatch(Padded({0x23, 2, 0, 2, ';', '4'}));
  EXPECT_EQ(control.get_Track2Data(), u";4");
  Dispatch(Padded({0x23, 2, 0, 0, ';', '5'}));  // L = 0 empties the track, whatever follows
  Dispatch(Padded({0x23, 4, 0, 3, 0xAB, 0x01, 0xFF}));
  Dispatch(Padded({0x23, 7, 0, 2, 0x00, 0x0F}));
  EXPECT_TRUE(container.events.empty());
  EXPECT_EQ(control.get_Track1Data(), u"%B4");
  EXPECT_EQ(control.get_Track2Data(), u"");
  EXPECT_EQ(control.get_EncTrack1Data(), u"AB01FF");
  EXPECT_EQ(control.get_SigilData(), Variant::FromString(u"000F"));
  Dispatch(Padded({0x23, 99, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0x00, 0x00, 0x10, 0x00}));
  EXPECT_EQ(control.get_DUKPTKSN(), u"0102030405060708090A");
  EXPECT_EQ(control.get_SigilStatus(), 1000);
  EXPECT_EQ(container.events, (std::vector<std::string>{"CardDataChanged()"}));
  // The poll loop never writes the card-data texts.
  EXPECT_EQ(control.get_CardData(), u"");
}

TEST_F(DispatchTest, ClearTrackBytesAreWindows1252Characters) {
  Dispatch(Padded({0x23, 3, 0, 3, 0x00, 0x80, 0xE9}));
  EXPECT_EQ(control.get_Track3Data(), String(u"\0\u20AC\u00E9", 3));
}

TEST_F(DispatchTest, EndItemWithErrorStatusRaisesErrorAndKeepsValues) {
  Dispatch(Padded({0x23, 99, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, 0, 0, 7}));
  Dispatch(Padded({0x23, 99, 5, 0, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 0, 0, 0, 8}));
  EXPECT_EQ(control.get_DUKPTKSN(), u"0102030405060708090A");
  EXPECT_EQ(control.get_SigilStatus(), 7);
  EXPECT_EQ(container.events, (std::vector<std::string>{"CardDataChanged()", "CardDataError()"}));
}

TEST_F(DispatchTest, SigilStatusWithHexLettersLeavesItButStillCompletesTheCard) {
  Dispatch(Padded({0x23, 99, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, 0, 0, 0x42}));
  Dispatch(Padded({0x23, 99, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 0, 0, 0, 0x0A}));
  EXPECT_EQ(control.get_SigilStatus(), 42);
  EXPECT_EQ(control.get_DUKPTKSN(), u"0102030405060708090B");
  EXPECT_EQ(container.events.size(), 2u);
}

TEST_F(DispatchTest, UnknownReportsAndItemTypesAreIgnored) {
  for (uint8_t id : {0x00, 0x21, 0x26, 0x28, 0xFF}) Dispatch(Padded({id, 1, 2, 3}));
  Dispatch(Padded({0x23, 0, 0, 3, 'a', 'b', 'c'}));
  Dispatch(Padded({0x23, 8, 0, 3, 'a', 'b', 'c'}));
  Dispatch({});
  EXPECT_TRUE(container.events.empty());
  EXPECT_EQ(control.get_Track1Data(), u"");
}

TEST_F(DispatchTest, ReportsShorterThanTheirLayoutAreIgnoredWhole) {
  Dispatch({0x20, 1, 2});
  Dispatch({0x22, 1});
  Dispatch({0x24, 0, 1, 2, 3});
  Dispatch({0x25, 0});
  Dispatch({0x27});
  Dispatch({0x23, 1, 0, 5, 'a', 'b'});                 // L runs past the end
  Dispatch({0x23, 99, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8});  // no room for the KSN
  EXPECT_TRUE(container.events.empty());
  EXPECT_EQ(control.get_DeviceState(), 0);
  EXPECT_EQ(control.get_Track1Data(), u"");
  EXPECT_EQ(control.get_DUKPTKSN(), u"");
  // Exactly long enough is enough.
  Dispatch({0x23, 1, 0, 2, 'o', 'k'});
  Dispatch({0x27, 9});
  EXPECT_EQ(control.get_Track1Data(), u"ok");
  EXPECT_EQ(container.events, (std::vector<std::string>{"DisplayDone(9)"}));
}

TEST_F(DispatchTest, ArgumentsAreCopiesTheHandlerCannotWriteBack) {
  struct Scribbler : EventSink {
    void DeviceStatusChanged(uint8_t& a, uint8_t& b, uint8_t& c) override { a = b = c = 0xEE; }
  };
  Bytes report = Padded({0x20, 1, 2, 3});
  Scribbler scribbler;
  struct Redirect : test::RecordingContainer {
    EventSink* sink;
    EventSink& Events() override { return *sink; }
  } redirect;
  redirect.sink = &scribbler;
  USBORVA other(redirect);
  other.DispatchInputReport(report);
  EXPECT_EQ(report[1], 1);
  EXPECT_EQ(other.get_DeviceState(), 1);
}

}  // namespace
}  // namespace usborva
