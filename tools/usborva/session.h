// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TOOLS_SESSION_H_
#define USBORVA_TOOLS_SESSION_H_

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "hid_tap.h"
#include "usborva/discovery.h"
#include "usborva/event_loop.h"
#include "usborva/host.h"
#include "usborva/manual_loop_clock.h"
#include "usborva/scenario.h"
#include "usborva/scenario_machine.h"
#include "usborva/simulated_hid_system.h"
#include "usborva/usborva.h"

namespace usborva::cli {

struct SessionOptions {
  // Play this scenario on a simulated terminal; none: the machine's own HID devices.
  std::optional<scenario::Scenario> scenario;
  // Run the loop on a clock that jumps from timer to timer (only with a scenario).
  bool virtual_time = false;
  // Where the control's events go; not owned.
  EventSink* events = nullptr;
  // Which terminal the control takes when several are supported.
  TerminalChoice choice;
  // A layer put between the tap and the HID stack (the recorder), made on the stack; the
  // session keeps it. Empty: none.
  std::function<std::unique_ptr<HidSystem>(HidSystem& stack)> interpose;
};

// One control in a standalone host, on the simulated terminal or the native backend, with a
// tap on the HID stack. Everything the tool does to a terminal goes through control().
class Session {
 public:
  explicit Session(SessionOptions options);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  USBORVA& control() { return *control_; }
  Host& host() { return *host_; }
  EventLoop& loop() { return *loop_; }
  HidTap& tap() { return *tap_; }
  bool simulated() const { return machine_ != nullptr; }
  // The scenario's player and machine; null on the native backend.
  scenario::Player* player() { return machine_ ? &machine_->player() : nullptr; }
  SimulatedHidSystem* sim() { return machine_ ? &machine_->system() : nullptr; }

  // Sets PortOpen True and starts the clock of Elapsed; true when the port is open.
  bool Open();
  // Starts the scenario's timed input (simulated sessions); once only.
  void StartScenario();
  // Stops the scenario's timeline where it is (a person quit); reports already sent stay.
  void StopScenario() {
    if (machine_) machine_->Stop();
  }
  // Time since Open, on the loop's clock.
  std::chrono::milliseconds Elapsed();
  // PortOpen False, then Terminate. Safe to call twice.
  void Close();

 private:
  std::unique_ptr<ManualLoopClock> manual_clock_;
  std::unique_ptr<EventLoop> loop_;
  // The simulated machine, installed on the thread under the tap.
  std::unique_ptr<scenario::ScenarioMachine> machine_;
  std::unique_ptr<HidSystem> interposed_;
  std::unique_ptr<HidTap> tap_;
  std::unique_ptr<ScopedHidSystem> installed_;
  std::unique_ptr<Host> host_;
  std::unique_ptr<USBORVA> control_;
  LoopClock::TimePoint start_;
  bool closed_ = false;
};

}  // namespace usborva::cli

#endif  // USBORVA_TOOLS_SESSION_H_
