// SPDX-License-Identifier: Apache-2.0
#include "usborva/hid_system.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "platform/null/null_hid_system.h"
#include "transport_fixture.h"
#include "usborva/hid_system_wrapper.h"

namespace usborva::transport {
namespace {

TEST(HidSystemTest, WithoutABackendTheMachineHasNoDevicesButPortsCanBePrepared) {
  null::NullHidSystem machine;  // the native backend of a platform without one of its own
  ScopedHidSystem installed(machine);
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
  const std::unique_ptr<SimulatedHidSystem> machine = NewSimulatedHidSystem();
  HidSystem* before = &ThreadHidSystem();
  {
    ScopedHidSystem installed(*machine);
    EXPECT_EQ(&ThreadHidSystem(), machine.get());
    HidSystem* other_thread = nullptr;
    std::thread([&] { other_thread = &ThreadHidSystem(); }).join();
    EXPECT_NE(other_thread, machine.get());
  }
  EXPECT_EQ(&ThreadHidSystem(), before);
}

TEST(HidSystemTest, NativeBackendServesThreadsThatInstalledNothing) {
  const std::unique_ptr<SimulatedHidSystem> machine = NewSimulatedHidSystem();
  ScopedHidSystem installed(*machine);
  HidSystem* used = nullptr;
  HidSystem* native = nullptr;
  std::thread([&] {
    used = &ThreadHidSystem();
    native = &NativeHidSystem();
  }).join();
  EXPECT_EQ(used, native);
  EXPECT_NE(&NativeHidSystem(), machine.get());
}

// Watches opens only; everything else, the last error included, is the wrapped machine's.
class OpenCounter : public HidSystemWrapper {
 public:
  using HidSystemWrapper::HidSystemWrapper;
  Handle CreateFileA(const char* path, uint32_t access, uint32_t share,
                     const SecurityAttributes* security, uint32_t disposition,
                     uint32_t flags) override {
    ++opens;
    return HidSystemWrapper::CreateFileA(path, access, share, security, disposition, flags);
  }
  int opens = 0;
};

TEST_F(TransportTest, ADecoratorOverridesOnlyWhatItWatchesAndTheRestPassesOn) {
  const auto id = Add(0x2A5C, 0x4C2B);
  OpenCounter counter(sim_);
  ScopedHidSystem decorated(counter);
  ASSERT_TRUE(Open());
  EXPECT_TRUE(Opened(id));
  EXPECT_GE(counter.opens, 1);
  Close();
  EXPECT_FALSE(ThreadHidSystem().CloseHandle(kInvalidHandleValue));
  EXPECT_EQ(ThreadHidSystem().GetLastError(), sim_.GetLastError());
  EXPECT_NE(ThreadHidSystem().GetLastError(), 0u);
}

}  // namespace
}  // namespace usborva::transport
