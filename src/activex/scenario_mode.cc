// SPDX-License-Identifier: Apache-2.0
#include "activex/scenario_mode.h"

#include <windows.h>

#include <map>
#include <mutex>

#include "activex/message_timer.h"
#include "usborva/scenario.h"
#include "usborva/scenario_machine.h"

namespace usborva::activex {
namespace {

std::string ScenarioPath() {
  char buffer[MAX_PATH * 4];
  const DWORD n = GetEnvironmentVariableA(kScenarioVariable, buffer, sizeof buffer);
  if (n == 0 || n >= sizeof buffer) return std::string();
  return std::string(buffer, n);
}

// The simulated machine of one thread, installed as the thread's HID system while any
// control of the thread lives; the timeline ticks on the thread's message queue.
struct Machine {
  explicit Machine(scenario::Scenario scenario)
      : machine(std::move(scenario), [](std::function<void()> tick) {
          return std::make_unique<MessageTimer>(std::move(tick));
        }) {
    // No one runs the host as a test here: a developer sees the failure in the debugger.
    machine.player().set_failure_handler([](const scenario::ExpectationFailure& failure) {
      const std::string line = "USBORVA: expectation failed: " + failure.message + "\n";
      OutputDebugStringA(line.c_str());
    });
  }

  scenario::ScenarioMachine machine;
  int leases = 0;
};

// Machines by thread. Only this registry is shared between threads; each machine is used
// by its own thread alone.
std::mutex machines_mutex;
std::map<DWORD, std::unique_ptr<Machine>>& Machines() {
  static auto* machines = new std::map<DWORD, std::unique_ptr<Machine>>;
  return *machines;
}

class Lease final : public ScenarioLease {
 public:
  explicit Lease(Machine& machine) : machine_(machine) { ++machine_.leases; }
  ~Lease() override {
    if (--machine_.leases > 0) return;
    std::unique_ptr<Machine> gone;
    {
      std::lock_guard lock(machines_mutex);
      auto it = Machines().find(GetCurrentThreadId());
      if (it != Machines().end()) {
        gone = std::move(it->second);
        Machines().erase(it);
      }
    }
  }

  void PortOpened() override { machine_.machine.Start(); }

 private:
  void Forward(const RaisedEvent& event) override { machine_.machine.player().EventRaised(event); }

  Machine& machine_;
};

}  // namespace

std::unique_ptr<ScenarioLease> LeaseScenarioMachine() {
  const std::string path = ScenarioPath();
  if (path.empty()) return nullptr;
  const DWORD thread = GetCurrentThreadId();
  {
    std::lock_guard lock(machines_mutex);
    auto it = Machines().find(thread);
    if (it != Machines().end()) return std::make_unique<Lease>(*it->second);
  }
  // The lease exists before the machine is registered: a registered machine always has a
  // lease that takes it down, and a failure before then leaves nothing installed.
  auto machine = std::make_unique<Machine>(scenario::LoadScenario(path));
  auto lease = std::make_unique<Lease>(*machine);
  {
    std::lock_guard lock(machines_mutex);
    Machines()[thread] = std::move(machine);
  }
  return lease;
}

}  // namespace usborva::activex
