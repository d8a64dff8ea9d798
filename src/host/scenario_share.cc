// SPDX-License-Identifier: Apache-2.0
#include "host/scenario_share.h"

#include <optional>
#include <utility>
#include <vector>

#include "diagnostics/diagnostics.h"
#include "host/scenario_switch.h"
#include "usborva/hid_system.h"
#include "usborva/scenario_machine.h"
#include "usborva/simulated_hid_system.h"

namespace usborva::host {
namespace {

// The HID system installed on this thread, or null while the native backend serves.
HidSystem* InstalledSystem() {
  HidSystem* installed = InstallThreadHidSystem(nullptr);
  InstallThreadHidSystem(installed);
  return installed;
}

}  // namespace

// The thread's machine and who shares it. Shares in the order they joined: the first one's
// loop runs the timeline's timers.
struct ScenarioShare::Machine {
  std::string notice;
  std::vector<ScenarioShare*> shares;
  std::vector<RelayTimer*> timers;
  // Last, so it goes first: its timeline's timers leave the list above as they go.
  std::unique_ptr<scenario::ScenarioMachine> machine;

  std::unique_ptr<Timer> MakeTimer(std::function<void()> on_tick) {
    return shares.front()->make_timer_(std::move(on_tick));
  }
};

thread_local ScenarioShare::Machine* ScenarioShare::thread_machine_ = nullptr;

// A timer of the timeline that outlives the host whose loop it ticks on: when that host
// goes, it moves to the next host's loop with its interval and state (its count restarts).
class ScenarioShare::RelayTimer final : public Timer {
 public:
  RelayTimer(Machine& owner, std::function<void()> on_tick)
      : owner_(owner), on_tick_(std::move(on_tick)) {
    Rehome();
    owner_.timers.push_back(this);
  }
  ~RelayTimer() override { std::erase(owner_.timers, this); }

  void SetEnabled(bool enabled) override {
    enabled_ = enabled;
    real_->SetEnabled(enabled);
  }
  bool Enabled() const override { return enabled_; }
  void SetInterval(int32_t milliseconds) override {
    interval_ = milliseconds;
    real_->SetInterval(milliseconds);
  }
  int32_t Interval() const override { return interval_; }

  void Rehome() {
    std::unique_ptr<Timer> next = owner_.MakeTimer([this] { on_tick_(); });
    next->SetInterval(interval_);
    next->SetEnabled(enabled_);
    real_ = std::move(next);
  }

 private:
  Machine& owner_;
  std::function<void()> on_tick_;
  std::unique_ptr<Timer> real_;
  bool enabled_ = false;
  int32_t interval_ = 0;
};

std::unique_ptr<ScenarioShare> ScenarioShare::Join(TimerFactory make_timer) {
  // Someone else's system on the thread (a test's, the tool's, a rehearsal's) is an
  // explicit choice: the host runs on it, whether or not the environment's machine is
  // beneath it.
  HidSystem* const installed = InstalledSystem();
  if (thread_machine_ != nullptr) {
    if (installed != &thread_machine_->machine->system()) return nullptr;
    return std::unique_ptr<ScenarioShare>(
        new ScenarioShare(*thread_machine_, std::move(make_timer)));
  }
  if (installed != nullptr) return nullptr;
  std::optional<ScenarioSwitch> chosen = ReadScenarioSwitch();
  if (!chosen) return nullptr;
  scenario::Scenario parsed = scenario::LoadScenario(chosen->path);
  auto owned = std::make_unique<Machine>();
  owned->notice = std::move(chosen->notice);
  Machine* machine = owned.get();
  owned->machine = std::make_unique<scenario::ScenarioMachine>(
      std::move(parsed), [machine](std::function<void()> on_tick) -> std::unique_ptr<Timer> {
        return std::make_unique<RelayTimer>(*machine, std::move(on_tick));
      });
  // No one runs the host as a test here: a failed expectation is said on the debug channel.
  owned->machine->player().set_failure_handler([](const scenario::ExpectationFailure& failure) {
    diagnostics::Note(DiagnosticTopic::kSystem,
                      [&failure] { return "expectation failed: " + failure.message; });
  });
  // The share exists before the machine is the thread's: a registered machine always has a
  // share that takes it down, and a failure before then leaves nothing installed.
  std::unique_ptr<ScenarioShare> share(new ScenarioShare(*owned, std::move(make_timer)));
  thread_machine_ = owned.release();
  return share;
}

ScenarioShare::ScenarioShare(Machine& machine, TimerFactory make_timer)
    : machine_(machine), make_timer_(std::move(make_timer)) {
  machine_.shares.push_back(this);
}

ScenarioShare::~ScenarioShare() {
  const bool was_timer_home = machine_.shares.front() == this;
  std::erase(machine_.shares, this);
  if (machine_.shares.empty()) {
    if (thread_machine_ == &machine_) {
      delete thread_machine_;
      thread_machine_ = nullptr;
    }
    return;
  }
  if (was_timer_home) {
    for (RelayTimer* timer : machine_.timers) timer->Rehome();
  }
}

void ScenarioShare::PortOpenChanged() {
  scenario::ScenarioMachine& machine = *machine_.machine;
  if (machine.started()) return;
  // Every open attempt makes the transport's read event first; a close of a port never
  // opened touches nothing, and does not start the scenario.
  if (machine.system().CallCount(sim::Op::kCreateEvent) == 0) return;
  machine.Start();
}

const std::string& ScenarioShare::notice() const { return machine_.notice; }

void ScenarioShare::Forward(const RaisedEvent& event) {
  machine_.machine->player().EventRaised(event);
}

}  // namespace usborva::host
