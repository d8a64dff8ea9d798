// SPDX-License-Identifier: Apache-2.0
// The host's connection notifications on the simulated terminal: why an open failed, a
// terminal lost and back, polling gone idle; and that they change nothing the control does.
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "transport/transport.h"
#include "usborva/connection.h"
#include "usborva/hid_system_wrapper.h"
#include "usborva/simulated_hid_system.h"
#include "usborva/usborva.h"
#include "usborva_test/recording_container.h"

namespace usborva {
namespace {

using Strings = std::vector<std::string>;

// A container that leaves the notifications to Container's default, as a host that does not
// ask for them.
class DeafContainer : public test::RecordingContainer {
 public:
  void ConnectionChanged(const ConnectionNotice& notice) override {
    Container::ConnectionChanged(notice);
  }
};

// A machine whose configuration file can turn against the terminal between two reads of
// an Active key: the read after the next flip_active_after ones says FALSE, once.
class FlippingConfigSystem : public HidSystemWrapper {
 public:
  using HidSystemWrapper::HidSystemWrapper;
  uint32_t GetPrivateProfileStringA(const char* section, const char* key, const char* def,
                                    char* buffer, uint32_t size, const char* file) override {
    const uint32_t n =
        HidSystemWrapper::GetPrivateProfileStringA(section, key, def, buffer, size, file);
    if (std::string(key) != "Active" || flip_active_after < 0) return n;
    if (flip_active_after-- > 0) return n;
    const std::string no = "FALSE";
    no.copy(buffer, size);
    return static_cast<uint32_t>(no.size());
  }
  int flip_active_after = -1;
};

class ConnectionNoticeTest : public ::testing::Test {
 protected:
  ConnectionNoticeTest() {
    transport::ThreadDeviceRecord() = transport::DeviceRecord{};
    previous_ = InstallThreadHidSystem(&flipping);
    hid.SetConfigText(std::string());  // no configuration file: built-in product IDs
    control.InitProperties();
  }
  ~ConnectionNoticeTest() override {
    control.Terminate();
    InstallThreadHidSystem(previous_);
    transport::ThreadDeviceRecord() = transport::DeviceRecord{};
  }
  void Tick(int n = 1) {
    for (int i = 0; i < n; ++i) container.Tick();
  }
  template <typename Edit>
  void AddInterface(Edit edit) {
    sim::InterfaceSpec spec;
    edit(spec);
    hid.AddInterface(spec);
  }
  std::string OpenFailure() {
    control.put_PortOpen(true);
    return container.connection.empty() ? "none" : container.connection.back();
  }

  std::unique_ptr<SimulatedHidSystem> sim_ = NewSimulatedHidSystem();
  SimulatedHidSystem& hid = *sim_;
  FlippingConfigSystem flipping{hid};
  test::RecordingContainer container;
  USBORVA control{container};
  HidSystem* previous_ = nullptr;
};

TEST_F(ConnectionNoticeTest, AFailedOpenSaysWhy) {
  EXPECT_EQ(OpenFailure(), "open_failed(no_terminal)");
  AddInterface([](sim::InterfaceSpec& s) { s.vendor_id = 0x1234; });
  EXPECT_EQ(OpenFailure(), "open_failed(no_terminal)");  // another vendor's device
  AddInterface([](sim::InterfaceSpec& s) { s.product_id = 0x4C22; });
  EXPECT_EQ(OpenFailure(), "open_failed(refused_by_matching_rules)");
  EXPECT_FALSE(control.get_PortOpen());

  hid.SetConfigText("[Settings]\nUseConfigFile=TRUE\n[PID_4C22]\nActive=FALSE\n");
  EXPECT_EQ(OpenFailure(), "open_failed(refused_by_config_file)");
  hid.SetConfigText("[Settings]\nUseConfigFile=perhaps\n");
  EXPECT_EQ(OpenFailure(), "open_failed(refused_by_config_file)");
  EXPECT_EQ(container.connection.size(), 5u);
  EXPECT_EQ(container.notifications, Strings(5, "PortOpen"));  // one each, as before
}

TEST_F(ConnectionNoticeTest, EventCreationAndABrokenTerminalAreTheirOwnReasons) {
  hid.AddInterface();
  hid.SetFault(sim::Fault::kCreateEvent);
  EXPECT_EQ(OpenFailure(), "open_failed(event_creation_failed)");
  hid.SetFault(sim::Fault::kCreateEvent, false);
  hid.SetFault(0, sim::Fault::kCaps);
  EXPECT_EQ(OpenFailure(), "open_failed(device_failed)");
  hid.SetFault(0, sim::Fault::kCaps, false);
  control.put_PortOpen(true);
  EXPECT_TRUE(control.get_PortOpen());
  EXPECT_EQ(container.connection.size(), 2u);  // a good open says nothing
}

TEST_F(ConnectionNoticeTest, UnplugIsALossAndReplugIsReconnectedOnce) {
  hid.AddInterface();
  control.put_PortOpen(true);
  Tick();  // a read is pending
  hid.Unplug(0);
  Tick(5);
  EXPECT_EQ(container.connection,
            Strings{"lost(" + std::to_string(kErrorDeviceNotConnected) + ")"});
  hid.Interface(0).product_id = 0x4C2B;
  hid.Replug(0);
  Tick(5);
  EXPECT_EQ(container.connection.back(), "reconnected(" + std::to_string(0x4C2B) + ")");
  EXPECT_EQ(container.connection.size(), 2u);
  EXPECT_NE(container.connection_paths[0].find("pid_4c21#sim0"), std::string::npos);
  EXPECT_NE(container.connection_paths[1].find("pid_4c2b#sim0"), std::string::npos);
}

TEST_F(ConnectionNoticeTest, PermissionDeniedIsToldOnceWhileTheLoopKeepsRetrying) {
  hid.AddInterface();
  hid.SetFault(0, sim::Fault::kReadWriteAccess);
  control.put_PortOpen(true);
  EXPECT_TRUE(control.get_PortOpen());  // the control holds it for queries, as it always has
  Tick();                               // and learns at its first read
  EXPECT_EQ(container.connection, Strings{"open_failed(permission_denied)"});
  EXPECT_NE(container.connection_paths[0].find("sim0"), std::string::npos);
  const uint64_t opens = hid.OpenCount(0);
  Tick(10);
  EXPECT_GT(hid.OpenCount(0), opens);  // reopened again and again
  EXPECT_EQ(container.connection.size(), 1u);
  hid.SetFault(0, sim::Fault::kReadWriteAccess, false);  // the user fixed the permissions
  Tick(3);
  EXPECT_EQ(container.connection.back(), "reconnected(" + std::to_string(0x4C21) + ")");
  hid.QueueInputReport(0, sim::DisplayDone(0));
  Tick(3);
  EXPECT_EQ(container.events, Strings{"DisplayDone(0)"});
}

TEST_F(ConnectionNoticeTest, PollingIdleCarriesTheStatusText) {
  hid.AddInterface();
  control.put_PortOpen(true);
  hid.SetFault(sim::Fault::kResetEvent);
  Tick(4);
  EXPECT_EQ(container.connection, Strings{"idle(ResetEvent Failed)"});

  // A reconnect to a device the configuration file refuses: the loop keeps looking.
  hid.SetFault(sim::Fault::kResetEvent, false);
  control.put_PortOpen(true);
  Tick();
  hid.Unplug(0);
  Tick();
  hid.SetConfigText("[Settings]\nUseConfigFile=TRUE\n");
  hid.Replug(0);
  Tick(3);
  EXPECT_EQ(container.connection.back(), "lost(" + std::to_string(kErrorDeviceNotConnected) + ")");

  // One the open accepts and the poll loop's re-check refuses, as when the file is edited
  // between the two reads: incompatible, and polling halts.
  hid.SetConfigText("[Settings]\nUseConfigFile=TRUE\n[PID_4C21]\nActive=TRUE\n");
  flipping.flip_active_after = 1;
  Tick();
  EXPECT_EQ(container.connection.back(), "idle(Incompatible device attached)");
  EXPECT_EQ(container.connection.size(), 3u);
}

// The same story with and without a listener makes the same calls and the same events.
TEST_F(ConnectionNoticeTest, ListeningChangesNothingTheControlDoes) {
  const auto story = [](test::RecordingContainer& host, SimulatedHidSystem& machine) {
    USBORVA other(host);
    other.InitProperties();
    other.put_PortOpen(true);
    for (int i = 0; i < 2; ++i) host.Tick();
    machine.Unplug(0);
    for (int i = 0; i < 3; ++i) host.Tick();
    machine.Replug(0);
    machine.QueueInputReport(0, sim::DisplayDone(7));
    for (int i = 0; i < 4; ++i) host.Tick();
    other.put_PortOpen(false);
    other.Terminate();
    return machine.CallCount();
  };
  hid.AddInterface();
  DeafContainer deaf;
  const uint64_t deaf_calls = story(deaf, hid);
  const uint64_t before = hid.CallCount();
  const uint64_t listening_calls = story(container, hid) - before;
  EXPECT_EQ(listening_calls, deaf_calls);
  EXPECT_EQ(container.events, deaf.events);
  EXPECT_EQ(container.notifications, deaf.notifications);
  EXPECT_EQ(container.connection.size(), 2u);  // lost, reconnected
  EXPECT_TRUE(deaf.connection.empty());
}

}  // namespace
}  // namespace usborva
