// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_ACTIVEX_SCENARIO_MODE_H_
#define USBORVA_ACTIVEX_SCENARIO_MODE_H_

#include <memory>
#include <string>

#include "usborva/forwarding_event_sink.h"

namespace usborva::activex {

// The environment variable that names a scenario file. When it is set, every control on a
// thread works against one simulated terminal playing that scenario instead of the HID
// stack, so a host application can be developed and tested without hardware.
inline constexpr char kScenarioVariable[] = "USBORVA_SCENARIO";

// A control's share of its thread's simulated machine. The machine is made with the first
// lease on a thread and taken down with the last; the scenario starts playing when a
// control of the thread first tries to open its port, whether the open succeeds or not (a
// scenario that starts with the terminal unplugged must still play its plug). The control
// hands it each event it raises, so the scenario's `expect event` lines judge the host; a
// failed expectation goes to the debugger's output.
class ScenarioLease : public ForwardingEventSink {
 public:
  ~ScenarioLease() override = default;
  // A write of PortOpen = True was made (and not refused in design mode).
  virtual void PortOpened() = 0;
};

// nullptr when the variable is not set. Throws ScenarioError when the file cannot be read.
std::unique_ptr<ScenarioLease> LeaseScenarioMachine();

}  // namespace usborva::activex

#endif  // USBORVA_ACTIVEX_SCENARIO_MODE_H_
