// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "transport/device_record.h"
#include "transport/transport.h"
#include "usborva/simulated_hid_system.h"
#include "usborva/usborva.h"
#include "usborva_test/recording_container.h"

namespace usborva {
namespace {

using transport::ThreadDeviceRecord;

class FeatureReportTest : public ::testing::Test {
 protected:
  FeatureReportTest() : installed_(sim_) {
    ThreadDeviceRecord() = transport::DeviceRecord{};
    sim_.SetConfigText(std::string());
  }
  ~FeatureReportTest() override { ThreadDeviceRecord() = transport::DeviceRecord{}; }

  // Opens a terminal whose feature reports are length bytes long.
  void OpenTerminal(int16_t length = sim::kDefaultFeatureReportLength) {
    sim::InterfaceSpec spec;
    spec.feature_report_length = length;
    id_ = sim_.AddInterface(spec);
    ASSERT_TRUE(transport::InitTransport());
    transport::OpenDevice();
    ASSERT_NE(ThreadDeviceRecord().DeviceHandle, kInvalidHandleValue);
  }

  int32_t Get(const String& command) { return control_.GetFeatureReport(command, output_); }
  int32_t Set(const String& command) { return control_.SetFeatureReport(command, output_); }
  std::string Output() const { return test::Utf8(ToString(output_)); }
  std::string Swipe() const { return test::Utf8(control_.state().SwipeCommandOutput); }
  size_t Notified() const { return container_.Count("SwipeCommandOutput"); }

  const std::unique_ptr<SimulatedHidSystem> sim_owner_ = NewSimulatedHidSystem();
  SimulatedHidSystem& sim_ = *sim_owner_;
  ScopedHidSystem installed_;
  test::RecordingContainer container_;
  USBORVA control_{container_};
  Variant output_ = Variant::FromString(u"caller's");
  SimulatedHidSystem::InterfaceId id_ = 0;
};

TEST_F(FeatureReportTest, SetSendsTheCommandZeroFilledAndRendersAllButTheLastByte) {
  OpenTerminal(8);
  EXPECT_EQ(Set(u"09"), 1);
  EXPECT_EQ(Output(), "09 00 00 00 00 00 00");
  EXPECT_EQ(Swipe(), "09 00 00 00 00 00 00");
  EXPECT_EQ(Notified(), 1u);
  ASSERT_EQ(sim_.FeatureLog().size(), 1u);
  EXPECT_EQ(sim_.FeatureLog()[0].sent, (std::vector<uint8_t>{9, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(FeatureReportTest, SpacesAndLetterCaseDoNotMatter) {
  OpenTerminal();
  for (const char16_t* command : {u"0E 10", u"0e10", u"0 E1 0"}) {
    EXPECT_EQ(Set(command), 1);
  }
  ASSERT_EQ(sim_.FeatureLog().size(), 3u);
  for (const auto& exchange : sim_.FeatureLog()) {
    EXPECT_EQ(exchange.sent, sim_.FeatureLog()[0].sent);
    EXPECT_EQ(exchange.sent[0], 0x0E);
    EXPECT_EQ(exchange.sent[1], 0x10);
  }
}

TEST_F(FeatureReportTest, GetRendersTheDevicesReport) {
  OpenTerminal(4);
  sim_.Terminal(id_).fixed_reports[0x0E] = {0x0E, 0x10, 0x0A, 0xFF};
  EXPECT_EQ(Get(u"0E 10"), 1);
  EXPECT_EQ(Output(), "0E 10 0A");
  EXPECT_EQ(Swipe(), "0E 10 0A");
}

TEST_F(FeatureReportTest, SetThenGetReadsTheRequestedItem) {
  OpenTerminal();
  Set(u"0E 10");
  EXPECT_EQ(Get(u"0E 10"), 1);
  EXPECT_EQ(Output().substr(0, 23), "0E 10 00 04 12 34 56 78");
  EXPECT_EQ(Notified(), 2u);
}

// The rows where nothing is sent: result 0, the caller's value and the property untouched.
TEST_F(FeatureReportTest, NothingIsSentForBadTextOrNoDevice) {
  EXPECT_EQ(Get(u"0E 10"), 0);  // no device opened since load
  OpenTerminal(4);
  EXPECT_EQ(Set(u"0G"), 0);
  EXPECT_EQ(Get(u"01 02 03 04 05"), 0);
  EXPECT_EQ(Output(), "caller's");
  EXPECT_EQ(Swipe(), "");
  EXPECT_EQ(Notified(), 0u);
  EXPECT_TRUE(sim_.FeatureLog().empty());
  EXPECT_EQ(Set(u"01 02 03 04"), 1);  // exactly the report length is accepted
}

TEST_F(FeatureReportTest, FailedCallStoresTheCallersValueAsText) {
  OpenTerminal();
  sim_.SetFault(id_, sim::Fault::kGetFeature);
  EXPECT_EQ(Get(u"09"), 0);
  EXPECT_EQ(Output(), "caller's");
  EXPECT_EQ(Swipe(), "caller's");
  EXPECT_EQ(Notified(), 1u);
  transport::CloseDevice();  // the port closed: the attempt fails on the handle
  output_ = Variant();
  EXPECT_EQ(Set(u"09"), 0);
  EXPECT_TRUE(output_.IsEmpty());
  EXPECT_EQ(Swipe(), "");
  EXPECT_EQ(Notified(), 2u);
  ASSERT_EQ(sim_.FeatureLog().size(), 2u);
  EXPECT_FALSE(sim_.FeatureLog()[1].ok);
}

TEST_F(FeatureReportTest, ValueThatIsNoTextLeavesThePropertyAndRaisesNothing) {
  OpenTerminal();
  Set(u"09");
  const std::string previous = Swipe();
  sim_.SetFault(id_, sim::Fault::kSetFeature);
  output_ = Variant::Null();
  EXPECT_EQ(Set(u"09"), 0);
  EXPECT_EQ(Swipe(), previous);
  EXPECT_EQ(previous.substr(0, 5), "09 00");
  EXPECT_EQ(Notified(), 1u);
}

TEST_F(FeatureReportTest, PropertyChangedFailureIsSilent) {
  OpenTerminal();
  container_.fail_property_changed = true;
  EXPECT_EQ(Set(u"09"), 1);
  EXPECT_EQ(Output().substr(0, 2), "09");
}

TEST_F(FeatureReportTest, InterpretMsgParsesIntoTheMessageBufferOrRaises) {
  String empty;
  EXPECT_TRUE(control_.InterpretMsg(empty));  // even with no device ever opened
  OpenTerminal(4);
  String text = u"0E 10";
  EXPECT_TRUE(control_.InterpretMsg(text));
  EXPECT_EQ(ThreadDeviceRecord().MessageBuffer, (std::vector<uint8_t>{0x0E, 0x10, 0, 0}));
  struct Case {
    String text;
    int32_t error;
    std::vector<uint8_t> left;
  };
  const Case kCases[] = {
      {u"ZZ", error::kTypeMismatch, {0, 0, 0, 0}},
      {u"01 02 03 04 05", error::kSubscriptOutOfRange, {1, 2, 3, 4}},
  };
  for (Case c : kCases) {
    try {
      control_.InterpretMsg(c.text);
      ADD_FAILURE() << "no error for " << test::Utf8(c.text);
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.number(), c.error);
    }
    EXPECT_EQ(ThreadDeviceRecord().MessageBuffer, c.left);
  }
  EXPECT_TRUE(sim_.FeatureLog().empty());  // nothing is ever sent
}

}  // namespace
}  // namespace usborva
