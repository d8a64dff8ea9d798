// SPDX-License-Identifier: Apache-2.0
#include "usborva/hid_system.h"

#include <gtest/gtest.h>

#include <thread>

#include "transport_fixture.h"

namespace usborva::transport {
namespace {

TEST(HidSystemTest, WithoutABackendTheMachineHasNoDevicesButPortsCanBePrepared) {
  ThreadDeviceRecord() = DeviceRecord{};
  EXPECT_TRUE(InitTransport());
  OpenDevice();
  EXPECT_EQ(ThreadDeviceRecord().DeviceHandle, kInvalidHandleValue);
  CloseDevice();
  CloseReadEvent();
  EXPECT_FALSE(ThreadHidSystem().CloseHandle(0));
  ThreadDeviceRecord() = DeviceRecord{};
}

TEST(HidSystemTest, InstalledSystemsAreTheThreadsOwn) {
  SimulatedHidSystem machine;
  HidSystem* before = &ThreadHidSystem();
  {
    ScopedHidSystem installed(machine);
    EXPECT_EQ(&ThreadHidSystem(), &machine);
    HidSystem* other_thread = nullptr;
    std::thread([&] { other_thread = &ThreadHidSystem(); }).join();
    EXPECT_NE(other_thread, &machine);
  }
  EXPECT_EQ(&ThreadHidSystem(), before);
}

HidSystem* FactoryMachine() {
  thread_local SimulatedHidSystem machine;
  return &machine;
}

TEST(HidSystemTest, NativeFactoryServesThreadsThatInstalledNothing) {
  SetNativeHidSystemFactory(&FactoryMachine);
  HidSystem* used = nullptr;
  HidSystem* made = nullptr;
  std::thread([&] {
    used = &ThreadHidSystem();
    made = FactoryMachine();
  }).join();
  SetNativeHidSystemFactory(nullptr);
  EXPECT_EQ(used, made);
}

}  // namespace
}  // namespace usborva::transport
