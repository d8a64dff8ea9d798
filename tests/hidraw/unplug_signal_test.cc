// SPDX-License-Identifier: Apache-2.0
// How a read step learns of an unplug: by read() alone on kernels that answer EIO, by
// poll() before the read on older ones. Both steps, forced in turn, must see the same
// reports and the same unplug through the kernel.
#include "platform/hidraw/unplug_signal.h"

#include <gtest/gtest.h>

#include "descriptors.h"
#include "kernel_rig.h"
#include "transport/transport.h"

namespace usborva::testing {
namespace {

using hidraw::UnplugSignal;

TEST(UnplugSignalTest, KernelReleaseDecidesAndAnythingUnreadablePolls) {
  EXPECT_EQ(hidraw::UnplugSignalOfRelease("6.18.44-fc-v1272"), UnplugSignal::kRead);
  EXPECT_EQ(hidraw::UnplugSignalOfRelease("4.4.0-210-generic"), UnplugSignal::kRead);
  EXPECT_EQ(hidraw::UnplugSignalOfRelease("10.0"), UnplugSignal::kRead);
  EXPECT_EQ(hidraw::UnplugSignalOfRelease("4.3.9"), UnplugSignal::kPoll);
  EXPECT_EQ(hidraw::UnplugSignalOfRelease("3.10.0-1160.el7.x86_64"), UnplugSignal::kPoll);
  EXPECT_EQ(hidraw::UnplugSignalOfRelease("2.6.32"), UnplugSignal::kPoll);
  EXPECT_EQ(hidraw::UnplugSignalOfRelease(""), UnplugSignal::kPoll);
  EXPECT_EQ(hidraw::UnplugSignalOfRelease("6"), UnplugSignal::kPoll);
  EXPECT_EQ(hidraw::UnplugSignalOfRelease("v6.1"), UnplugSignal::kPoll);
  EXPECT_EQ(hidraw::UnplugSignalOfRelease("6.x"), UnplugSignal::kPoll);
  EXPECT_EQ(hidraw::UnplugSignalOfRelease("9999999.1"), UnplugSignal::kPoll);
}

class ReadStepTest : public KernelControlTest, public ::testing::WithParamInterface<UnplugSignal> {
 protected:
  void SetUp() override {
    hidraw::OverrideUnplugSignal(GetParam());
    KernelControlTest::SetUp();
  }
  void TearDown() override {
    KernelControlTest::TearDown();
    hidraw::OverrideUnplugSignal(std::nullopt);
  }

  void PlugTerminal() {
    RigDevice device;
    device.descriptor = kTerminalDescriptor;
    rig().Plug(0, device);
    // The identity queries at open: each answered with its report ID alone.
    rig().fs().SetFeatureModel(0, {[](const Bytes& request) { return Bytes{request[0]}; }, {}});
  }

  static Handle DeviceHandle() { return transport::ThreadDeviceRecord().DeviceHandle; }
};

TEST_P(ReadStepTest, ReportsThenUnplugThenReconnect) {
  PlugTerminal();
  control_->put_PortOpen(true);
  ASSERT_TRUE(control_->state().PortOpen);
  for (int tick = 0; tick < 3; ++tick) container_.Tick();  // idle: the read stays out
  EXPECT_NE(DeviceHandle(), kInvalidHandleValue);
  EXPECT_TRUE(container_.events.empty());

  rig().fs().SendInput(0, {0x20, 0x01, 0x02, 0x03});
  ASSERT_TRUE(TickUntil("DeviceStatusChanged", 3));

  // A report queued before the unplug is still delivered; the tick after it finds the
  // device gone and closes it.
  rig().fs().SendInput(0, {0x20, 0x04, 0x05, 0x06});
  rig().Unplug(0);
  container_.Tick();
  EXPECT_EQ(container_.events.back(), "DeviceStatusChanged(4,5,6)");
  EXPECT_NE(DeviceHandle(), kInvalidHandleValue);
  container_.Tick();
  EXPECT_EQ(DeviceHandle(), kInvalidHandleValue);
  EXPECT_TRUE(control_->state().PortOpen);

  PlugTerminal();
  container_.Tick();
  ASSERT_NE(DeviceHandle(), kInvalidHandleValue);
  rig().fs().SendInput(0, {0x20, 0x07, 0x08, 0x09});
  ASSERT_TRUE(TickUntil("DeviceStatusChanged(7", 3));
}

TEST_P(ReadStepTest, UnplugWhileTheReadIsOutIsSeenOnTheNextTick) {
  PlugTerminal();
  control_->put_PortOpen(true);
  container_.Tick();  // the read goes out
  rig().Unplug(0);
  container_.Tick();
  EXPECT_EQ(DeviceHandle(), kInvalidHandleValue);
  EXPECT_TRUE(container_.events.empty());
}

// The kernels that answer EAGAIN for ever after an unplug: only the poll() step sees it.
class OldKernelReadStepTest : public ReadStepTest {};

TEST_P(OldKernelReadStepTest, UnplugIsSeenByThePollStep) {
  RigDevice device;
  device.descriptor = kTerminalDescriptor;
  FakeNode node = KernelRig::NodeOf(device);
  node.eagain_after_unplug = true;
  rig().Plug(0, device);
  rig().fs().AddNode(0, node);
  rig().fs().SetFeatureModel(0, {[](const Bytes& request) { return Bytes{request[0]}; }, {}});
  control_->put_PortOpen(true);
  container_.Tick();
  EXPECT_NE(DeviceHandle(), kInvalidHandleValue);
  rig().Unplug(0);
  container_.Tick();
  EXPECT_EQ(DeviceHandle(), kInvalidHandleValue);
}

INSTANTIATE_TEST_SUITE_P(BothSteps, ReadStepTest,
                         ::testing::Values(UnplugSignal::kRead, UnplugSignal::kPoll),
                         [](const auto& info) {
                           return info.param == UnplugSignal::kRead ? "ReadAlone" : "PollFirst";
                         });

INSTANTIATE_TEST_SUITE_P(PollFirst, OldKernelReadStepTest, ::testing::Values(UnplugSignal::kPoll));

}  // namespace
}  // namespace usborva::testing
