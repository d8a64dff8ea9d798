// SPDX-License-Identifier: Apache-2.0
// A host application rehearsed against a terminal that answers it: the host sends its
// commands with SetFeatureReport in reaction to the control's events, the scenario's rules
// answer, and its expectations judge the host. Played in virtual time; the session, as the
// host sees it, is compared with checked-in output (USBORVA_UPDATE_GOLDEN=1 rewrites it).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "tool_runner.h"
#include "usborva/event_loop.h"
#include "usborva/forwarding_event_sink.h"
#include "usborva/host.h"
#include "usborva/manual_loop_clock.h"
#include "usborva/scenario.h"
#include "usborva/usborva.h"
#include "usborva/utf8.h"

namespace usborva::cli_test {
namespace {

using std::chrono::milliseconds;

// The host under test, with the scenario's own commands: it shows "ENTER PIN" when the
// terminal is ready for a PIN, asks for the PIN once the message is shown, and shows
// "APPROVED" when the PIN block has come. Everything it sees and sends is logged.
class PinHost : public ForwardingEventSink {
 public:
  explicit PinHost(const std::string& scenario_path)
      : player_(*sim_, scenario::LoadScenario(scenario_path)) {
    player_.Install();
    player_.set_note_handler([this](const std::string& note) { Log("# " + note); });
    player_.set_failure_handler(
        [this](const scenario::ExpectationFailure& failure) { Log("FAILED " + failure.message); });
    installed_.emplace(*sim_);
    HostOptions options;
    options.events = this;
    host_.emplace(loop_, options);
    control_.emplace(*host_);
    control_->InitProperties();
  }

  std::string Play() {
    control_->put_PortOpen(true);
    opened_ = clock_.Now();
    Log(control_->get_PortOpen() ? "port open" : "port closed");
    {
      scenario::TimedPlayer timed(player_, [this](std::function<void()> tick) {
        return loop_.CreateTimer(std::move(tick));
      });
      timed.Start();
      loop_.RunUntil([&] { return timed.Finished() && player_.RunningRules() == 0; },
                     std::chrono::minutes(1));
      loop_.RunFor(milliseconds(300));  // the last reports' events
      player_.EndRun();
    }
    control_->put_PortOpen(false);
    control_->Terminate();
    Log(std::to_string(player_.failures().size()) + " expectations failed");
    return log_;
  }

 private:
  void Forward(const RaisedEvent& event) override {
    std::string line(EventName(event.id));
    for (size_t i = 0; i < event.byte_count; ++i) line += " " + std::to_string(event.bytes[i]);
    Log(line);
    player_.EventRaised(event);
    if (event.id == EventId::kDeviceStatusChanged && event.bytes[1] == 1) {
      Send("0A 02 45 4E 54 45 52 20 50 49 4E");  // show "ENTER PIN"
    } else if (event.id == EventId::kDisplayDone && !pin_received_) {
      Send("0A 01");  // request PIN
      Log("terminal state " + Get("0B"));
    } else if (event.id == EventId::kPINResponse) {
      pin_received_ = true;
      Send("0A 02 41 50 50 52 4F 56 45 44");  // show "APPROVED"
    }
  }

  void Send(const std::string& command) {
    Variant out;
    const int32_t result = control_->SetFeatureReport(Utf8ToString(command), out);
    Log("host sends " + command + (result == 1 ? "" : " (refused)"));
  }

  std::string Get(const std::string& command) {
    Variant out;
    if (control_->GetFeatureReport(Utf8ToString(command), out) != 1) return "unknown";
    return StringToUtf8(out.string()).substr(0, 5);
  }

  void Log(const std::string& what) {
    const auto ms = std::chrono::duration_cast<milliseconds>(clock_.Now() - opened_).count();
    char time[32];
    std::snprintf(time, sizeof time, "%4lld.%03llds  ", static_cast<long long>(ms / 1000),
                  static_cast<long long>(ms % 1000));
    log_ += time + what + "\n";
  }

  ManualLoopClock clock_;
  EventLoop loop_{clock_};
  std::unique_ptr<SimulatedHidSystem> sim_ = NewSimulatedHidSystem();
  scenario::Player player_;
  std::optional<ScopedHidSystem> installed_;
  std::optional<Host> host_;
  std::optional<USBORVA> control_;
  LoopClock::TimePoint opened_;
  std::string log_;
  bool pin_received_ = false;
};

class HostRehearsalTest : public testing::TestWithParam<const char*> {};

TEST_P(HostRehearsalTest, SessionMatchesGolden) {
  const std::string name = GetParam();
  const std::string log =
      PinHost(std::string(USBORVA_SOURCE_DIR) + "/examples/" + name + ".scn").Play();
  const std::filesystem::path golden =
      std::filesystem::path(USBORVA_CLI_TEST_DIR) / "golden" / (name + ".host.txt");
  if (std::getenv("USBORVA_UPDATE_GOLDEN") != nullptr) {
    WriteFile(golden, log);
    GTEST_SKIP() << "rewrote " << golden;
  }
  EXPECT_EQ(log, ReadFile(golden)) << "compare with " << golden;
  EXPECT_NE(log.find(" 0 expectations failed"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Examples, HostRehearsalTest,
                         testing::Values("request_pin", "expect_host"));

}  // namespace
}  // namespace usborva::cli_test
