// SPDX-License-Identifier: Apache-2.0
// Discovery and matching of the transport over the hidraw backend: which emulated node
// OpenDevice takes, with and without the configuration file.
#include <gtest/gtest.h>

#include "descriptors.h"
#include "kernel_rig.h"
#include "transport/transport.h"
#include "usborva/hidraw_hid_system.h"

namespace usborva::testing {
namespace {

using transport::ThreadDeviceRecord;

RigDevice Device(uint16_t vendor, uint16_t product) {
  RigDevice device;
  device.vendor = vendor;
  device.product = product;
  device.descriptor = kTerminalDescriptor;
  return device;
}

class HidrawMatchingTest : public KernelBackendTest {
 protected:
  void SetUp() override {
    KernelBackendTest::SetUp();
    if (hid_ != nullptr) InstallOnThread();
  }
  void TearDown() override {
    if (hid_ != nullptr) {
      transport::CloseDevice();
      transport::CloseReadEvent();
    }
    KernelBackendTest::TearDown();
  }

  // The product ID of the node OpenDevice took, or -1 when it took none.
  int OpenedProduct() {
    transport::CloseDevice();
    EXPECT_TRUE(transport::InitTransport());
    transport::OpenDevice();
    if (ThreadDeviceRecord().DeviceHandle == kInvalidHandleValue) return -1;
    return ThreadDeviceRecord().DeviceAttributes.ProductID;
  }
};

TEST_F(HidrawMatchingTest, BuiltInProductsWithoutAConfigurationFile) {
  rig().Plug(0, Device(0x1234, 0x4C21));  // another vendor, whatever its product
  rig().Plug(1, Device(0x2A5C, 0x4C22));  // not a terminal product
  EXPECT_EQ(OpenedProduct(), -1);
  rig().Plug(3, Device(0x2A5C, 0x4C2B));
  rig().Plug(2, Device(0x2A5C, 0x4C21));  // lower number: first in enumeration order
  EXPECT_EQ(OpenedProduct(), 0x4C21);
  EXPECT_EQ(ThreadDeviceRecord().DeviceCaps.InputReportByteLength, 64);
  EXPECT_EQ(ThreadDeviceRecord().DeviceCaps.FeatureReportByteLength, 64);
  EXPECT_EQ(rig().fs().OpenFiles(3), 0);  // the second terminal is not touched
}

TEST_F(HidrawMatchingTest, ConfigurationFileDecidesWhenInUse) {
  rig().Plug(0, Device(0x2A5C, 0x4C21));
  rig().Plug(1, Device(0x2A5C, 0x0123));
  rig().WriteConfig("[Settings]\nUseConfigFile = true\n[PID_123]\nActive=TRUE\n");
  EXPECT_EQ(OpenedProduct(), 0x0123);  // the built-in product has no Active entry
  rig().WriteConfig("[Settings]\nUseConfigFile=0\n[PID_123]\nActive=TRUE\n");
  EXPECT_EQ(OpenedProduct(), 0x4C21);  // read afresh at every open
}

TEST_F(HidrawMatchingTest, UnreadableCapsSkipTheNode) {
  RigDevice broken = Device(0x2A5C, 0x4C21);
  broken.descriptor = {0xA1, 0x01, 0x75, 0x08};  // a collection left open
  rig().Plug(0, broken);
  rig().Plug(1, Device(0x2A5C, 0x4C2B));
  EXPECT_EQ(OpenedProduct(), 0x4C2B);
  EXPECT_EQ(ThreadDeviceRecord().PreparsedData != 0, true);
}

TEST_F(HidrawMatchingTest, NodeWithoutPermissionOpensForQueriesAndFailsItsRead) {
  RigDevice locked = Device(0x2A5C, 0x4C21);
  locked.refuse_open = true;
  rig().Plug(0, locked);
  ASSERT_EQ(OpenedProduct(), 0x4C21);
  transport::SizeInputBuffer();
  EXPECT_FALSE(transport::ReadInputReport());
  EXPECT_EQ(ThreadDeviceRecord().DeviceHandle, kInvalidHandleValue);  // closed at once
}

}  // namespace
}  // namespace usborva::testing
