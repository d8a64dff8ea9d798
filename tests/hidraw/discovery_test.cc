// SPDX-License-Identifier: Apache-2.0
// The survey and the terminal choice over the hidraw backend: the verdicts people see in
// `usborva list` come from real nodes and real sysfs, and the choice picks a node by path
// or by its USB serial number.
#include "usborva/discovery.h"

#include <gtest/gtest.h>

#include "descriptors.h"
#include "kernel_rig.h"
#include "usborva/hidraw_hid_system.h"

namespace usborva::testing {
namespace {

RigDevice Terminal(uint16_t vendor, uint16_t product, std::string serial) {
  RigDevice device;
  device.vendor = vendor;
  device.product = product;
  device.descriptor = kTerminalDescriptor;
  device.usb_serial = std::move(serial);
  return device;
}

class HidrawDiscoveryTest : public KernelPathTest {
 protected:
  void SetUp() override {
    KernelPathTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    hid_ = std::make_unique<HidrawHidSystem>(rig().roots());
    previous_ = InstallThreadHidSystem(hid_.get());
  }
  void TearDown() override {
    if (hid_ != nullptr) {
      InstallThreadHidSystem(previous_);
      hid_.reset();
    }
    KernelPathTest::TearDown();
  }

  std::unique_ptr<HidrawHidSystem> hid_;
  HidSystem* previous_ = nullptr;
};

TEST_F(HidrawDiscoveryTest, VerdictsOfRealNodes) {
  rig().Plug(0, Terminal(0x1234, 0x4C21, "V0"));  // incompatible: another vendor
  RigDevice locked = Terminal(0x2A5C, 0x4C21, "L1");
  locked.refuse_open = true;
  rig().Plug(1, locked);
  rig().Plug(2, Terminal(0x2A5C, 0x4C2B, "OK2"));
  std::vector<DiscoveredInterface> found = SurveyHidInterfaces();
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[0].verdict, InterfaceVerdict::kOtherVendor);
  EXPECT_EQ(found[0].path, rig().NodePath(0));
  EXPECT_EQ(found[1].verdict, InterfaceVerdict::kSupported);
  EXPECT_FALSE(found[1].openable);
  EXPECT_EQ(found[1].error, kErrorAccessDenied);
  EXPECT_EQ(found[1].reason,
            "supported, but cannot be opened for reading and writing (permission denied)");
  EXPECT_TRUE(found[1].taken);  // the control takes it, and its reads then fail
  EXPECT_EQ(found[2].serial, u"OK2");
  EXPECT_TRUE(found[2].openable);
  EXPECT_FALSE(found[2].taken);
  for (int node : {0, 1, 2}) EXPECT_EQ(rig().fs().OpenFilesSettled(node), 0) << node;

  rig().WriteConfig("[Settings]\nUseConfigFile=TRUE\n[PID_4C2B]\nActive=TRUE\n");
  found = SurveyHidInterfaces();
  EXPECT_EQ(found[1].verdict, InterfaceVerdict::kRefusedByConfigFile);
  EXPECT_TRUE(found[2].taken);
}

TEST_F(HidrawDiscoveryTest, AChoiceByPathOrSerialPicksTheNode) {
  rig().Plug(0, Terminal(0x2A5C, 0x4C21, "FIRST"));
  rig().Plug(1, Terminal(0x2A5C, 0x4C21, "SECOND"));
  const auto taken = [](const std::vector<DiscoveredInterface>& found) -> std::string {
    for (const auto& item : found) {
      if (item.taken) return item.path;
    }
    return "";
  };
  EXPECT_EQ(taken(SurveyHidInterfaces()), rig().NodePath(0));
  EXPECT_EQ(taken(SurveyHidInterfaces({"", u"SECOND"})), rig().NodePath(1));
  EXPECT_EQ(taken(SurveyHidInterfaces({rig().NodePath(1), u""})), rig().NodePath(1));
  const std::vector<DiscoveredInterface> none = SurveyHidInterfaces({"", u"THIRD"});
  EXPECT_EQ(taken(none), "");
  EXPECT_EQ(none[0].verdict, InterfaceVerdict::kNotChosen);
}

class HidrawChoiceControlTest : public KernelControlTest {};

TEST_F(HidrawChoiceControlTest, PortOpenTakesTheChosenTerminal) {
  rig().Plug(0, Terminal(0x2A5C, 0x4C21, "FIRST"));
  rig().Plug(1, Terminal(0x2A5C, 0x4C2B, "SECOND"));
  control_->set_terminal_choice({"", u"SECOND"});
  control_->put_PortOpen(true);
  ASSERT_TRUE(control_->get_PortOpen());
  EXPECT_EQ(control_->get_DeviceSerialNum(), u"SECOND");
  EXPECT_EQ(control_->get_ReaderID(), u"4C2B");
  EXPECT_EQ(rig().fs().OpenFilesSettled(0), 0);
}

}  // namespace
}  // namespace usborva::testing
