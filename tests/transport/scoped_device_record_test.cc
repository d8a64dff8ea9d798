// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <thread>
#include <type_traits>

#include "transport/device_record.h"

namespace usborva::transport {
namespace {

static_assert(!std::is_copy_constructible_v<ScopedDeviceRecord>);
static_assert(!std::is_copy_assignable_v<ScopedDeviceRecord>);

// Leaves the traces a test that opened and read a device would leave.
void Dirty(DeviceRecord& record) {
  record.TransportStatus = "gone";
  record.DeviceHandle = 7;
  record.InputReport = {0, 1, 2};
  record.ReadPending = true;
  record.Observed.open = OpenOutcome::kOpened;
  record.Observed.device_path = "/dev/hidraw7";
}

void ExpectFresh(const DeviceRecord& record) {
  EXPECT_EQ(record.TransportStatus, "");
  EXPECT_EQ(record.DeviceHandle, 0);
  EXPECT_TRUE(record.InputReport.empty());
  EXPECT_FALSE(record.ReadPending);
  EXPECT_EQ(record.Observed.open, OpenOutcome::kNotTried);
  EXPECT_EQ(record.Observed.device_path, "");
}

TEST(ScopedDeviceRecordTest, NeitherSeesNorLeavesAnotherScopesState) {
  Dirty(ThreadDeviceRecord());
  {
    ScopedDeviceRecord guard;
    ExpectFresh(ThreadDeviceRecord());
    Dirty(ThreadDeviceRecord());
  }
  ExpectFresh(ThreadDeviceRecord());
}

TEST(ScopedDeviceRecordTest, TouchesOnlyTheCallingThreadsRecord) {
  ScopedDeviceRecord guard;
  Dirty(ThreadDeviceRecord());
  std::thread([] { ScopedDeviceRecord other; }).join();
  EXPECT_EQ(ThreadDeviceRecord().DeviceHandle, 7);
}

}  // namespace
}  // namespace usborva::transport
