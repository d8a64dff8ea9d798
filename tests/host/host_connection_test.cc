// SPDX-License-Identifier: Apache-2.0
// HostOptions' connection notifications and debug channel, with a control on the simulated
// terminal: opt-in, for the host's life only.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "transport/device_record.h"
#include "usborva/host.h"
#include "usborva/manual_loop_clock.h"
#include "usborva/simulated_hid_system.h"
#include "usborva/usborva.h"

namespace usborva {
namespace {

class CountingSink : public DiagnosticSink {
 public:
  void Diagnostic(DiagnosticTopic, std::string_view) override { ++lines; }
  int lines = 0;
};

TEST(HostConnectionTest, NotificationsAndDebugLinesReachTheHostsCallbacks) {
  transport::ThreadDeviceRecord() = transport::DeviceRecord{};
  std::unique_ptr<SimulatedHidSystem> owned_machine = NewSimulatedHidSystem();
  SimulatedHidSystem& machine = *owned_machine;
  machine.SetConfigText(std::string());
  ScopedHidSystem installed(machine);
  ManualLoopClock clock;
  EventLoop loop(clock);
  CountingSink outer;
  ScopedDiagnosticSink outer_on(outer);

  std::vector<std::string> notices;
  std::vector<std::string> lines;
  {
    HostOptions options;
    options.on_connection = [&](const ConnectionNotice& notice) {
      notices.emplace_back(ConnectionChangeName(notice.change));
    };
    options.on_diagnostic = [&](DiagnosticTopic topic, std::string_view text) {
      lines.push_back(std::string(DiagnosticTopicName(topic)) + ": " + std::string(text));
    };
    Host host(loop, options);
    USBORVA control(host);
    control.InitProperties();
    control.put_PortOpen(true);  // nothing attached
    EXPECT_EQ(notices, std::vector<std::string>{"open_failed"});
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "open: no terminal opened: none present (0 HID interfaces looked at)");

    std::vector<std::string> replaced;
    host.set_connection_observer([&](const ConnectionNotice&) { replaced.push_back("seen"); });
    control.put_PortOpen(true);
    EXPECT_EQ(replaced.size(), 1u);
    EXPECT_EQ(notices.size(), 1u);
    control.Terminate();
  }
  // The host put the program's own sink back when it ended.
  machine.AddInterface();
  HostOptions quiet;
  Host host(loop, quiet);
  USBORVA control(host);
  control.InitProperties();
  control.put_PortOpen(true);
  EXPECT_TRUE(control.get_PortOpen());
  EXPECT_GT(outer.lines, 0);
  control.Terminate();
  transport::ThreadDeviceRecord() = transport::DeviceRecord{};
}

}  // namespace
}  // namespace usborva
