// SPDX-License-Identifier: Apache-2.0
#include "usborva/scenario_machine.h"

#include <utility>

namespace usborva::scenario {

ScenarioMachine::ScenarioMachine(Scenario scenario, TimedPlayer::TimerFactory make_timer,
                                 Installation installation)
    : system_(NewSimulatedHidSystem()),
      player_(*system_, std::move(scenario)),
      make_timer_(std::move(make_timer)) {
  player_.Install();
  if (installation == Installation::kThisThread) {
    previous_ = InstallThreadHidSystem(system_.get());
    installed_ = true;
  }
}

ScenarioMachine::~ScenarioMachine() {
  // The timers go first: a tick must never reach a player whose machine has left the thread.
  timeline_.reset();
  if (installed_) InstallThreadHidSystem(previous_);
}

void ScenarioMachine::Start() {
  if (started_) return;
  started_ = true;
  timeline_ = std::make_unique<TimedPlayer>(player_, make_timer_);
  timeline_->Start();
}

bool ScenarioMachine::Finished() const {
  // The rules that answer the host's feature reports run strands of their own, which may
  // outlast the timed input.
  return player_.Finished() && player_.RunningRules() == 0;
}

void ScenarioMachine::Stop() {
  started_ = true;
  timeline_.reset();
}

}  // namespace usborva::scenario
