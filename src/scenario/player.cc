// SPDX-License-Identifier: Apache-2.0
// Plays a parsed scenario on the simulated machine, one due batch of steps at a time.
#include "usborva/scenario.h"

namespace usborva::scenario {
namespace {

// Faults the machine has only as a whole; the others belong to the terminal.
bool MachineWide(sim::Fault fault) {
  return fault == sim::Fault::kClassDevs || fault == sim::Fault::kCreateEvent ||
         fault == sim::Fault::kResetEvent;
}

}  // namespace

Player::Player(SimulatedHidSystem& system, Scenario scenario)
    : system_(system), scenario_(std::move(scenario)) {}

SimulatedHidSystem::InterfaceId Player::Install() {
  id_ = system_.AddInterface(scenario_.terminal);
  // Without a file of its own the run must not depend on the configuration of the machine
  // it happens to run on: an empty file is what a machine without one reads.
  system_.SetConfigText(scenario_.config_text.value_or(""));
  for (sim::Fault fault : scenario_.faults) {
    if (MachineWide(fault)) {
      system_.SetFault(fault, true);
    } else {
      system_.SetFault(id_, fault, true);
    }
  }
  if (!scenario_.starts_plugged) system_.Unplug(id_);
  return id_;
}

std::optional<Milliseconds> Player::Advance() {
  while (next_ < scenario_.steps.size()) {
    const Step& step = scenario_.steps[next_++];
    if (step.kind == StepKind::kWait) {
      if (step.wait.count() > 0) return step.wait;
      continue;
    }
    Run(step);
  }
  finished_ = true;
  return std::nullopt;
}

void Player::Run(const Step& step) {
  switch (step.kind) {
    case StepKind::kReports:
      for (const sim::Report& report : step.reports) {
        system_.QueueInputReport(id_, report);
        ++reports_sent_;
      }
      break;
    case StepKind::kUnplug:
      system_.Unplug(id_);
      break;
    case StepKind::kPlug:
      system_.Replug(id_);
      break;
    case StepKind::kFault:
      if (MachineWide(step.fault)) {
        system_.SetFault(step.fault, step.fault_on);
      } else {
        system_.SetFault(id_, step.fault, step.fault_on);
      }
      break;
    case StepKind::kNote:
      if (on_note_) on_note_(step.text);
      break;
    case StepKind::kWait:
      break;
  }
}

TimedPlayer::TimedPlayer(Player& player, const TimerFactory& make_timer)
    : player_(player), timer_(make_timer([this] { OnTick(); })) {}

void TimedPlayer::Start() { OnTick(); }

void TimedPlayer::OnTick() {
  timer_->SetEnabled(false);
  std::optional<Milliseconds> wait = player_.Advance();
  if (!wait) return;
  timer_->SetInterval(static_cast<int32_t>(wait->count()));
  timer_->SetEnabled(true);
}

}  // namespace usborva::scenario
