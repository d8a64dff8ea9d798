// SPDX-License-Identifier: Apache-2.0
// The reconnect attempt's memory of nodes that are not a terminal: a node unchanged since
// it was read is not opened and asked again, and any change (the node going, another
// device at its path, a permission change) sends the next attempt back to the node.
#include <gtest/gtest.h>

#include "descriptors.h"
#include "kernel_rig.h"
#include "transport/transport.h"
#include "usborva/hidraw_hid_system.h"

namespace usborva::testing {
namespace {

constexpr uint32_t kReadWrite = kGenericRead | kGenericWrite;

RigDevice Mouse(uint16_t product = 0xC52B) {
  RigDevice device;
  device.vendor = 0x046D;
  device.product = product;
  device.descriptor = kTerminalDescriptor;
  device.hid_name = "Pointer";
  return device;
}

RigDevice Terminal() {
  RigDevice device;
  device.descriptor = kTerminalDescriptor;
  return device;
}

class IdentityCacheTest : public KernelBackendTest {
 protected:
  // What one candidate of a reconnect attempt does: open read-write, else with access 0,
  // read the attributes, close. The vendor read, or 0 when the node would not open.
  uint16_t Candidate(int number) {
    const std::string path = rig().NodePath(number);
    Handle device =
        hid_->CreateFileA(path.c_str(), kReadWrite, 3, nullptr, kOpenExisting, kFileFlagOverlapped);
    if (device == kInvalidHandleValue) {
      device = hid_->CreateFileA(path.c_str(), 0, 3, nullptr, kOpenExisting, kFileFlagOverlapped);
    }
    if (device == kInvalidHandleValue) return 0;
    HidAttributes attributes;
    EXPECT_TRUE(hid_->HidD_GetAttributes(device, &attributes));
    last_product_ = attributes.ProductID;
    EXPECT_TRUE(hid_->CloseHandle(device));
    return attributes.VendorID;
  }

  uint16_t last_product_ = 0;
};

TEST_F(IdentityCacheTest, UnchangedNonTerminalIsNotReopenedAndPermissionChangesAreRetried) {
  rig().Plug(0, Mouse());
  EXPECT_EQ(Candidate(0), 0x046D);
  EXPECT_EQ(rig().fs().Opens(0), 1);
  for (int attempt = 0; attempt < 3; ++attempt) EXPECT_EQ(Candidate(0), 0x046D);
  EXPECT_EQ(rig().fs().Opens(0), 1);

  // Read-write access withdrawn: retried (refused), then known from sysfs with access 0.
  rig().fs().SetRefuseOpen(0, true);
  EXPECT_EQ(Candidate(0), 0x046D);
  EXPECT_EQ(rig().fs().Opens(0), 2);
  EXPECT_EQ(Candidate(0), 0x046D);  // the refusal too is known now
  EXPECT_EQ(rig().fs().Opens(0), 2);

  rig().fs().SetRefuseOpen(0, false);
  EXPECT_EQ(Candidate(0), 0x046D);
  EXPECT_EQ(rig().fs().Opens(0), 3);
}

TEST_F(IdentityCacheTest, NodesThatGoComeOrAreReplacedAreReadAfresh) {
  rig().Plug(0, Mouse());
  EXPECT_EQ(Candidate(0), 0x046D);
  rig().Unplug(0);
  EXPECT_EQ(Candidate(0), 0);  // gone: nothing remembered stands in for it

  // Another device at the same path: a terminal, then a different non-terminal.
  rig().Plug(0, Terminal());
  EXPECT_EQ(Candidate(0), transport::kTerminalVendorId);
  rig().Unplug(0);
  rig().Plug(0, Mouse(0x1234));
  EXPECT_EQ(Candidate(0), 0x046D);
  EXPECT_EQ(last_product_, 0x1234);
  rig().Unplug(0);
  rig().Plug(0, Mouse(0x5678));
  EXPECT_EQ(Candidate(0), 0x046D);
  EXPECT_EQ(last_product_, 0x5678);

  // A node appearing beside a remembered one.
  rig().Plug(1, Terminal());
  EXPECT_EQ(Candidate(1), transport::kTerminalVendorId);
}

TEST_F(IdentityCacheTest, TerminalIsAskedAtEveryAttempt) {
  rig().Plug(0, Terminal());
  for (int attempt = 0; attempt < 3; ++attempt) {
    EXPECT_EQ(Candidate(0), transport::kTerminalVendorId);
  }
  EXPECT_EQ(rig().fs().Opens(0), 3);
}

TEST_F(IdentityCacheTest, RememberedHandleOpensTheNodeForAnyOtherCall) {
  rig().Plug(0, Mouse());
  EXPECT_EQ(Candidate(0), 0x046D);
  const std::string path = rig().NodePath(0);
  const Handle device =
      hid_->CreateFileA(path.c_str(), kReadWrite, 3, nullptr, kOpenExisting, kFileFlagOverlapped);
  ASSERT_NE(device, kInvalidHandleValue);
  EXPECT_EQ(rig().fs().Opens(0), 1);
  Handle preparsed = 0;
  ASSERT_TRUE(hid_->HidD_GetPreparsedData(device, &preparsed));
  EXPECT_EQ(rig().fs().Opens(0), 2);
  HidCaps caps;
  EXPECT_EQ(hid_->HidP_GetCaps(preparsed, &caps), kHidpStatusSuccess);
  EXPECT_EQ(caps.InputReportByteLength, 64);
  hid_->HidD_FreePreparsedData(preparsed);
  hid_->CloseHandle(device);
}

// The whole reconnect loop: a terminal that appears beside, or in place of, a remembered
// non-terminal is found on the next tick.
class ReconnectCacheTest : public KernelControlTest {};

TEST_F(ReconnectCacheTest, TerminalAppearingBesideOrInPlaceOfARememberedNodeIsTaken) {
  rig().Plug(0, Terminal());
  rig().fs().SetFeatureModel(0, {[](const Bytes& request) { return Bytes{request[0]}; }, {}});
  rig().Plug(1, Mouse());
  control_->put_PortOpen(true);
  ASSERT_TRUE(control_->state().PortOpen);
  container_.Tick();
  rig().Unplug(0);
  for (int tick = 0; tick < 4; ++tick) container_.Tick();
  EXPECT_EQ(transport::ThreadDeviceRecord().DeviceHandle, kInvalidHandleValue);
  EXPECT_LE(rig().fs().Opens(1), 2);  // read at open (maybe) and once reconnecting

  rig().Unplug(1);
  rig().Plug(1, Terminal());
  container_.Tick();
  EXPECT_NE(transport::ThreadDeviceRecord().DeviceHandle, kInvalidHandleValue);
}

}  // namespace
}  // namespace usborva::testing
