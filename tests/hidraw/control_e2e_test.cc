// SPDX-License-Identifier: Apache-2.0
// The whole control over an emulated terminal node: PortOpen, identity, a card swipe
// through the poll loop, a host feature exchange, unplug and reconnection.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "descriptors.h"
#include "kernel_rig.h"
#include "transport/transport.h"
#include "usborva/hidraw_hid_system.h"
#include "usborva/usborva.h"
#include "usborva_test/recording_container.h"

namespace usborva::testing {
namespace {

constexpr int kNode = 0;

Bytes WithText(Bytes head, const std::string& text) {
  head.insert(head.end(), text.begin(), text.end());
  return head;
}

// The terminal's side of the identity queries: a set of "0E <item>" selects what the next
// get of report 0x0E answers.
class TerminalModel {
 public:
  FeatureModel Model() {
    return FeatureModel{[this](const Bytes& request) { return Answer(request); },
                        [this](const Bytes& report) {
                          if (report[0] == 0x0E) item_ = report[1];
                        }};
  }

 private:
  Bytes Answer(const Bytes& request) const {
    if (request[0] == 0x09) return {0x09, 1, 2, 3, 4, 5, 6, 7, 8};
    if (request[0] != 0x0E) return {};
    switch (item_.load()) {
      case 0x10:
        return {0x0E, 0x10, 0x00, 0x04, 0x12, 0x34, 0x56, 0x78};
      case 0x01:
        return WithText({0x0E, 0x01, 0x00, 0x07}, "KSN-PIN");
      case 0x02:
        return WithText({0x0E, 0x02, 0x00, 0x07}, "KSN-MSR");
      case 0x00:
        return WithText({0x0E, 0x00, 0x00, 0x04}, "AUTH");
      case 0x03:
        return WithText({0x0E, 0x03, 0x00, 0x04}, std::string("PIN\0", 4));
      case 0x04:
        return WithText({0x0E, 0x04, 0x00, 0x04}, std::string("MSR\0", 4));
    }
    return {};
  }

  std::atomic<uint8_t> item_{0};
};

RigDevice Terminal() {
  RigDevice device;
  device.descriptor = kTerminalDescriptor;
  device.usb_serial = "ABC123";
  device.usb_product = "Card Terminal";
  return device;
}

class HidrawControlTest : public KernelControlTest {
 protected:
  void PlugTerminal() {
    rig().Plug(kNode, Terminal());
    rig().fs().SetFeatureModel(kNode, model_.Model());
  }

  TerminalModel model_;
};

TEST_F(HidrawControlTest, PortOpenReadsTheTerminalsIdentity) {
  PlugTerminal();
  control_->put_PortOpen(true);
  const ControlState& state = control_->state();
  ASSERT_TRUE(state.PortOpen);
  EXPECT_TRUE(control_->tmrMain().Enabled());
  EXPECT_EQ(state.ReaderID, u"4C21");
  EXPECT_EQ(state.DeviceSerialNum, u"ABC123");
  EXPECT_EQ(state.UsbProduct, u"Card Terminal");
  EXPECT_EQ(state.Firmware, u"");  // no usbfs access: the property keeps its value
  EXPECT_EQ(state.BitmapCRC, u"12 34 56 78 ");
  EXPECT_EQ(state.PINKSN, u"KSN-PIN");
  EXPECT_EQ(state.MSRKSN, u"KSN-MSR");
  EXPECT_EQ(state.DeviceConfig, u"01 02 03 04 05 06 07 08");
  EXPECT_EQ(state.AuthLabel, u"AUTH");
  EXPECT_EQ(state.PINLabel, u"PIN");
  EXPECT_EQ(state.MSRLabel, u"MSR");
  // Every command went out zero-filled to the whole feature report.
  const std::vector<Bytes> sets = rig().fs().FeatureSets(kNode);
  ASSERT_EQ(sets.size(), 6u);
  const uint8_t items[] = {0x10, 0x01, 0x02, 0x00, 0x03, 0x04};
  for (size_t i = 0; i < sets.size(); ++i) {
    Bytes expected(64, 0);
    expected[0] = 0x0E;
    expected[1] = items[i];
    EXPECT_EQ(sets[i], expected) << i;
  }
  EXPECT_EQ(container_.Count("PortOpen"), 1u);
}

TEST_F(HidrawControlTest, CardSwipeArrivesThroughThePollLoop) {
  PlugTerminal();
  control_->put_PortOpen(true);
  ASSERT_TRUE(control_->state().PortOpen);
  const std::string track1 = "%B4000000000000002^TEST/CARD^2512101?";
  const std::string track2 = ";4000000000000002=2512101?";
  rig().fs().SendInput(kNode, {0x22, 0x00, 0x01, 0x02});
  rig().fs().SendInput(kNode, WithText({0x23, 1, 0, static_cast<uint8_t>(track1.size())}, track1));
  rig().fs().SendInput(kNode, WithText({0x23, 2, 0, static_cast<uint8_t>(track2.size())}, track2));
  rig().fs().SendInput(kNode, {0x23, 99, 0, 14, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, 0, 0, 7});
  ASSERT_TRUE(TickUntil("CardDataChanged"));
  EXPECT_EQ(container_.events.front(), "CardStatusChanged(0,1,2)");
  const ControlState& state = control_->state();
  EXPECT_EQ(state.Track1Data, std::u16string(track1.begin(), track1.end()));
  EXPECT_EQ(state.Track2Data, std::u16string(track2.begin(), track2.end()));
  EXPECT_EQ(state.DUKPTKSN, u"0102030405060708090A");
  EXPECT_EQ(state.SigilStatus, 7);
}

TEST_F(HidrawControlTest, HostFeatureExchangeRoundTrips) {
  PlugTerminal();
  control_->put_PortOpen(true);
  Variant output = Variant::FromString(u"unchanged");
  EXPECT_EQ(control_->SetFeatureReport(u"0E 10", output), 1);
  ASSERT_EQ(control_->GetFeatureReport(u"0e10", output), 1);
  const String text = output.string();
  EXPECT_EQ(text.substr(0, 24), u"0E 10 00 04 12 34 56 78 ");
  EXPECT_EQ(text.size(), 63u * 3 - 1);  // 63 of the 64 bytes, spaced
  EXPECT_EQ(control_->state().SwipeCommandOutput, text);
  // A report the terminal stalls: the call fails and OutPutData keeps its value.
  Variant kept = Variant::FromString(u"kept");
  EXPECT_EQ(control_->GetFeatureReport(u"33", kept), 0);
  EXPECT_EQ(kept.string(), u"kept");
}

TEST_F(HidrawControlTest, UnplugClosesTheDeviceAndTheLoopReconnects) {
  PlugTerminal();
  control_->put_PortOpen(true);
  ASSERT_TRUE(control_->state().PortOpen);
  container_.Tick();  // a read is now outstanding
  rig().Unplug(kNode);
  container_.Tick();
  EXPECT_EQ(transport::ThreadDeviceRecord().DeviceHandle, kInvalidHandleValue);
  EXPECT_TRUE(control_->state().PortOpen);
  for (int tick = 0; tick < 3; ++tick) container_.Tick();  // nothing to reconnect to
  EXPECT_EQ(transport::ThreadDeviceRecord().DeviceHandle, kInvalidHandleValue);

  PlugTerminal();
  container_.Tick();
  ASSERT_NE(transport::ThreadDeviceRecord().DeviceHandle, kInvalidHandleValue);
  rig().fs().SendInput(kNode, {0x20, 0x01, 0x02, 0x03});
  ASSERT_TRUE(TickUntil("DeviceStatusChanged"));
  EXPECT_EQ(container_.events.back(), "DeviceStatusChanged(1,2,3)");
  EXPECT_EQ(control_->state().DeviceState, 1);
  control_->put_PortOpen(false);
  EXPECT_EQ(transport::ThreadDeviceRecord().DeviceHandle, kInvalidHandleValue);
}

// The host's connection notifications through the kernel: a loss when the node goes, a
// return with the product ID when it comes back, and one permission notice for a node the
// user may not read, however often the loop reopens it.
TEST_F(HidrawControlTest, ConnectionNoticesFollowUnplugReplugAndPermissions) {
  PlugTerminal();
  control_->put_PortOpen(true);
  container_.Tick();  // a read is now outstanding
  rig().Unplug(kNode);
  for (int tick = 0; tick < 4; ++tick) container_.Tick();
  ASSERT_EQ(container_.connection,
            std::vector<std::string>{"lost(" + std::to_string(kErrorDeviceNotConnected) + ")"});
  EXPECT_EQ(container_.connection_paths[0], rig().NodePath(kNode));

  RigDevice locked = Terminal();
  locked.refuse_open = true;
  rig().Plug(kNode, locked);
  for (int tick = 0; tick < 6; ++tick) container_.Tick();
  EXPECT_EQ(container_.connection.back(), "open_failed(permission_denied)");
  EXPECT_EQ(container_.connection.size(), 2u);
  EXPECT_TRUE(control_->state().PortOpen);

  rig().fs().SetRefuseOpen(kNode, false);  // the udev rule is in place now
  rig().fs().SetFeatureModel(kNode, model_.Model());
  for (int tick = 0; tick < 4; ++tick) container_.Tick();
  EXPECT_EQ(container_.connection.back(), "reconnected(" + std::to_string(0x4C21) + ")");
  rig().fs().SendInput(kNode, {0x20, 0x01, 0x02, 0x03});
  EXPECT_TRUE(TickUntil("DeviceStatusChanged"));
  EXPECT_EQ(container_.connection.size(), 3u);
}

}  // namespace
}  // namespace usborva::testing
