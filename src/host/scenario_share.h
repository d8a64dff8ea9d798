// SPDX-License-Identifier: Apache-2.0
// The simulated terminal a development machine's environment names (USBORVA_SCENARIO),
// shared by every Host of a thread.
#ifndef USBORVA_HOST_SCENARIO_SHARE_H_
#define USBORVA_HOST_SCENARIO_SHARE_H_

#include <functional>
#include <memory>
#include <string>

#include "usborva/container.h"
#include "usborva/forwarding_event_sink.h"
#include "usborva/scenario.h"

namespace usborva::host {

// A Host's share of its thread's scenario machine. The first share on a thread loads the
// scenario, makes the machine and installs it as the thread's HID system; the last one
// takes it down. The timeline starts once a control of the thread has tried to open its
// port, and its timers tick on the loop of the oldest host still there.
class ScenarioShare final : public ForwardingEventSink {
 public:
  using TimerFactory = scenario::TimedPlayer::TimerFactory;

  // A share for a host whose loop makes timers with make_timer. nullptr when the
  // environment names no scenario (always in a build without the switch) or when the
  // thread already runs on a HID system someone installed: an explicit choice stands.
  // Throws scenario::ScenarioError when the file cannot be read.
  static std::unique_ptr<ScenarioShare> Join(TimerFactory make_timer);
  ~ScenarioShare() override;
  ScenarioShare(const ScenarioShare&) = delete;
  ScenarioShare& operator=(const ScenarioShare&) = delete;

  // A control of the host wrote PortOpen, either way. The first write that tried to open
  // starts the timeline, whether the open succeeded or not: a scenario that starts with the
  // terminal unplugged must still play its plug.
  void PortOpenChanged();
  // What the debug channel says while the machine is in use: the variable and the file.
  const std::string& notice() const;

 private:
  // The host's events reach the scenario's `expect event` lines.
  void Forward(const RaisedEvent& event) override;

  struct Machine;
  class RelayTimer;
  ScenarioShare(Machine& machine, TimerFactory make_timer);

  // The calling thread's machine; null while no host of the thread shares one.
  static thread_local Machine* thread_machine_;

  Machine& machine_;
  TimerFactory make_timer_;
};

}  // namespace usborva::host

#endif  // USBORVA_HOST_SCENARIO_SHARE_H_
