// SPDX-License-Identifier: Apache-2.0
// The control's terminal choice: PortOpen and the poll loop's reconnection take the chosen
// terminal among several supported ones, and a control without a choice takes the first.
#include <gtest/gtest.h>

#include "transport/transport.h"
#include "usborva/simulated_hid_system.h"
#include "usborva/usborva.h"
#include "usborva_test/recording_container.h"

namespace usborva {
namespace {

class TerminalChoiceTest : public ::testing::Test {
 protected:
  TerminalChoiceTest() : installed_(hid_) {
    transport::ThreadDeviceRecord() = transport::DeviceRecord{};
    hid_.SetConfigText(std::string());
    for (const char16_t* serial : {u"FIRST", u"SECOND"}) {
      sim::InterfaceSpec spec;
      spec.serial_number = serial;
      hid_.AddInterface(spec);
    }
    control_.InitProperties();
  }
  ~TerminalChoiceTest() override {
    control_.Terminate();
    transport::ThreadDeviceRecord() = transport::DeviceRecord{};
  }

  std::unique_ptr<SimulatedHidSystem> owned_hid = NewSimulatedHidSystem();
  SimulatedHidSystem& hid_ = *owned_hid;
  ScopedHidSystem installed_;
  test::RecordingContainer container_;
  USBORVA control_{container_};
};

TEST_F(TerminalChoiceTest, NoChoiceTakesTheFirstSupportedTerminal) {
  EXPECT_TRUE(control_.terminal_choice().Any());
  control_.put_PortOpen(true);
  EXPECT_EQ(control_.get_DeviceSerialNum(), u"FIRST");
}

TEST_F(TerminalChoiceTest, TheChosenTerminalIsOpenedAndReconnectedTo) {
  control_.set_terminal_choice({"", u"SECOND"});
  control_.put_PortOpen(true);
  ASSERT_TRUE(control_.get_PortOpen());
  EXPECT_EQ(control_.get_DeviceSerialNum(), u"SECOND");
  EXPECT_EQ(hid_.OpenDeviceHandles(0), 0u);
  // Unplugged, the chosen terminal is waited for; the other one is never taken instead.
  hid_.Unplug(1);
  for (int tick = 0; tick < 5; ++tick) container_.Tick();
  EXPECT_EQ(transport::ThreadDeviceRecord().DeviceHandle, kInvalidHandleValue);
  EXPECT_EQ(hid_.OpenDeviceHandles(0), 0u);
  hid_.Replug(1);
  for (int tick = 0; tick < 3; ++tick) container_.Tick();
  EXPECT_EQ(hid_.OpenDeviceHandles(1), 1u);
  EXPECT_TRUE(control_.get_PortOpen());
}

TEST_F(TerminalChoiceTest, AChoiceNoTerminalMeetsLeavesThePortClosed) {
  control_.set_terminal_choice({"/dev/elsewhere", u""});
  control_.put_PortOpen(true);
  EXPECT_FALSE(control_.get_PortOpen());
  EXPECT_EQ(hid_.OpenHandles(sim::HandleKind::kDevice), 0u);
}

}  // namespace
}  // namespace usborva
