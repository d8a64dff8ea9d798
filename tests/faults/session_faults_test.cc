// SPDX-License-Identifier: Apache-2.0
// A whole session (open with the identity queries, a swipe, a feature exchange, unplug,
// reconnection, close, termination) with the k-th call into the HID system failing, for
// every k the session makes, and with bursts of consecutive failures. Whatever fails, no
// exception reaches the host, the control is always in a named state, nothing is left open
// after close and termination, and a new open on the same machine works again.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "port_state.h"
#include "tracing_hid_system.h"
#include "transport/transport.h"
#include "usborva/simulated_hid_system.h"
#include "usborva/usborva.h"
#include "usborva_test/recording_container.h"

namespace usborva::faults {
namespace {

using Strings = std::vector<std::string>;

const char* const kPhases[] = {"open",      "swipe", "feature exchange", "unplug",
                               "reconnect", "close", "terminate"};

class Session {
 public:
  Session() : tracer_(hid) {
    transport::ThreadDeviceRecord() = transport::DeviceRecord{};
    previous_ = InstallThreadHidSystem(&tracer_);
    hid.SetConfigText(std::string());
    hid.AddInterface();
    control_.InitProperties();
  }
  ~Session() {
    InstallThreadHidSystem(previous_);
    transport::ThreadDeviceRecord() = transport::DeviceRecord{};
  }

  // Runs the story once. Returns the first thing that went wrong, or "".
  std::string Run() {
    Phase("open", [&] { control_.put_PortOpen(true); });
    Phase("swipe", [&] {
      Tick();  // the first read goes out and waits
      const uint8_t ksn[10] = {0xFF, 0xFF, 0x98, 0x76, 0x54, 0x32, 0x10, 0xE0, 0x00, 0x07};
      const uint8_t enc[16] = {0xA5, 0x5A, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06,
                               0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E};
      for (const sim::Report& report :
           {sim::CardStatus(0, 1, 0), sim::CardDataItem(1, "%B6011000990139424^FAULT/T^2812?"),
            sim::CardDataItem(2, ";6011000990139424=2812?"), sim::CardDataItem(5, 0, enc),
            sim::CardDataEnd(0, ksn, sim::SigilStatusBytes(1000))}) {
        hid.QueueInputReport(0, report);
        Tick();
      }
    });
    Phase("feature exchange", [&] {
      Variant output;
      control_.SetFeatureReport(u"0E 10", output);
      control_.GetFeatureReport(u"0E", output);
    });
    Phase("unplug", [&] {
      hid.Unplug(0);
      Tick(3);
    });
    Phase("reconnect", [&] {
      hid.Replug(0);
      Tick(2);
      hid.QueueInputReport(0, sim::DisplayDone(7));
      Tick(2);
    });
    Phase("close", [&] { control_.put_PortOpen(false); });
    ExpectNothingHeld("close");
    if (Classify(control_) != PortState::kClosed) Fail("close: not Closed");
    Phase("terminate", [&] { control_.Terminate(); });
    ExpectNothingHeld("terminate");
    if (control_.tmrMain().Enabled()) Fail("terminate: the poll timer still runs");
    return failure_;
  }

  // A new control on the same thread and machine opens, polls and closes as though
  // nothing had happened.
  std::string Recover() {
    // Reports the terminal sent while no port was open are still queued; they are not what
    // this check is about.
    hid.ClearInputReports(0);
    test::RecordingContainer container;
    USBORVA again(container);
    again.InitProperties();
    again.put_PortOpen(true);
    if (Classify(again) != PortState::kPolling) {
      return std::string("no recovery: ") + StateName(Classify(again));
    }
    container.Tick();
    hid.QueueInputReport(0, sim::DisplayDone(9));
    container.Tick();
    again.put_PortOpen(false);
    again.Terminate();
    if (container.events != Strings{"DisplayDone(9)"}) return "no recovery: events lost";
    if (hid.OpenHandles() != 0) return "no recovery: handles left open";
    return "";
  }

  // Spends calls that cannot fail until the machine has counted n, so a fault scheduled
  // past a short session cannot land in what follows it.
  void SpendCallsUpTo(uint64_t n) {
    Guid guid;
    while (hid.CallCount() < n) hid.HidD_GetHidGuid(&guid);
  }

  std::string OpAt(uint64_t k) const {
    const auto& trace = tracer_.trace();
    return k >= 1 && k <= trace.size() ? std::string(sim::OpName(trace[k - 1])) : "no call";
  }

  const std::unique_ptr<SimulatedHidSystem> hid_owner = NewSimulatedHidSystem();
  SimulatedHidSystem& hid = *hid_owner;
  std::map<std::string, PortState> state_after;  // by phase
  const Strings& events() const { return container_.events; }

 private:
  void Tick(int n = 1) {
    for (int i = 0; i < n; ++i) container_.Tick();
  }

  void Phase(const std::string& name, const std::function<void()>& body) {
    try {
      body();
    } catch (const AutomationError& e) {
      Fail(name + ": automation error " + std::to_string(e.number()) + " reached the host");
    } catch (const std::exception& e) {
      Fail(name + ": exception reached the host: " + e.what());
    } catch (...) {
      Fail(name + ": unknown exception reached the host");
    }
    const PortState state = Classify(control_);
    state_after[name] = state;
    if (state == PortState::kUnnamed) Fail(name + ": the control is in no named state");
  }

  void ExpectNothingHeld(const std::string& phase) {
    using sim::HandleKind;
    for (HandleKind kind : {HandleKind::kDevice, HandleKind::kEvent, HandleKind::kPreparsedData,
                            HandleKind::kDeviceInfoSet}) {
      if (hid.OpenHandles(kind) != 0) {
        Fail(phase + ": " + std::to_string(hid.OpenHandles(kind)) + " handle(s) of kind " +
             std::to_string(static_cast<int>(kind)) + " left open");
      }
    }
    if (hid.PendingReads(0) != 0) Fail(phase + ": a read is still outstanding");
  }

  void Fail(std::string why) {
    if (failure_.empty()) failure_ = std::move(why);
  }

  TracingHidSystem tracer_;
  test::RecordingContainer container_;
  USBORVA control_{container_};
  HidSystem* previous_ = nullptr;
  std::string failure_;
};

uint64_t CleanSessionCalls() {
  Session session;
  session.Run();
  return session.hid.CallCount();
}

TEST(SessionFaultsTest, CleanSessionTakesEveryPath) {
  Session session;
  ASSERT_EQ(session.Run(), "");
  EXPECT_EQ(session.events(),
            (Strings{"CardStatusChanged(0,1,0)", "CardDataChanged()", "DisplayDone(7)"}));
  EXPECT_EQ(session.state_after["open"], PortState::kPolling);
  EXPECT_EQ(session.state_after["swipe"], PortState::kPolling);
  EXPECT_EQ(session.state_after["unplug"], PortState::kReconnecting);
  EXPECT_EQ(session.state_after["reconnect"], PortState::kPolling);
  EXPECT_EQ(session.state_after["close"], PortState::kClosed);
  EXPECT_GT(session.hid.CallCount(), 50u);
}

// Runs the session with failing calls [k, k + burst) for every k the clean session makes,
// and tallies where each phase left the control.
void RunEveryFault(uint64_t burst) {
  const uint64_t calls = CleanSessionCalls();
  std::map<std::string, std::map<std::string, int>> tally;  // phase -> state -> runs
  std::map<std::string, int> ops_failed;
  // A fault past the clean count never fires: the session is the clean one up to it.
  for (uint64_t k = 1; k <= calls; ++k) {
    Session session;
    for (uint64_t j = 0; j < burst; ++j) session.hid.FailCall(k + j);
    const std::string failure = session.Run();
    const std::string op = session.OpAt(k);
    EXPECT_EQ(failure, "") << "call " << k << " (" << op << ") failing";
    session.SpendCallsUpTo(k + burst);
    EXPECT_EQ(session.Recover(), "") << "after call " << k << " (" << op << ") failed";
    ++ops_failed[op];
    for (const auto& [phase, state] : session.state_after) ++tally[phase][StateName(state)];
  }
  // The record docs/robustness.md quotes.
  std::printf("[ faults   ] %llu calls, bursts of %llu; operations hit:",
              static_cast<unsigned long long>(calls), static_cast<unsigned long long>(burst));
  for (const auto& [op, n] : ops_failed) std::printf(" %s x%d", op.c_str(), n);
  std::printf("\n");
  for (const char* phase : kPhases) {
    std::printf("[ faults   ]   after %-16s", phase);
    for (const auto& [state, n] : tally[phase]) std::printf(" %s: %d;", state.c_str(), n);
    std::printf("\n");
  }
}

TEST(SessionFaultsTest, AnySingleFailingCallEndsCleanly) { RunEveryFault(1); }

TEST(SessionFaultsTest, BurstsOfFailingCallsEndCleanly) { RunEveryFault(4); }

}  // namespace
}  // namespace usborva::faults
