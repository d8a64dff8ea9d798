// SPDX-License-Identifier: Apache-2.0
// Plays a parsed scenario on the simulated machine: the timed input as the main strand, one
// due batch of steps at a time, and each run of a rule as a strand of its own.
#include <algorithm>

#include "scenario/witness.h"
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

Player::~Player() {
  if (hooked_) system_.SetSetFeatureHook(nullptr);
}

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
  system_.SetSetFeatureHook([this](SimulatedHidSystem::InterfaceId id,
                                   std::span<const uint8_t> report) { OnSetFeature(id, report); });
  hooked_ = true;
  return id_;
}

std::optional<Milliseconds> Player::Advance(StrandId strand) {
  if (strand != kMainStrand) return AdvanceRun(strand);
  // The caller comes back after the time it was given: an expectation still waiting has
  // had its time.
  if (pending_ != nullptr) {
    Fail(witnessed_count_ == 0
             ? NoneWitnessed(pending_->expect.kind)
             : OthersWitnessed(pending_->expect.kind, witnessed_, witnessed_count_));
  }
  return AdvanceMain();
}

std::optional<Milliseconds> Player::AdvanceMain() {
  while (next_ < scenario_.steps.size()) {
    const Step& step = scenario_.steps[next_++];
    if (step.kind == StepKind::kWait) {
      if (step.wait.count() > 0) return step.wait;
      continue;
    }
    if (step.kind == StepKind::kExpect) {
      pending_ = &step;
      witnessed_.clear();
      witnessed_count_ = 0;
      return step.expect.within;
    }
    Run(step);
  }
  finished_ = true;
  return std::nullopt;
}

// The run is looked up again before each step: a step's handler may start other runs (a note
// whose watcher sends a feature report), which moves the runs in memory.
std::optional<Milliseconds> Player::AdvanceRun(StrandId strand) {
  for (;;) {
    auto run = std::find_if(runs_.begin(), runs_.end(),
                            [strand](const RuleRun& r) { return r.id == strand; });
    if (run == runs_.end()) return std::nullopt;
    const std::vector<Step>& steps = scenario_.rules[run->rule].steps;
    if (run->next >= steps.size()) {
      runs_.erase(run);
      return std::nullopt;
    }
    const Step& step = steps[run->next++];
    if (step.kind == StepKind::kWait) {
      if (step.wait.count() == 0) continue;
      run->wait = step.wait;
      return step.wait;
    }
    Run(step);
  }
}

void Player::OnSetFeature(SimulatedHidSystem::InterfaceId id, std::span<const uint8_t> report) {
  if (id != id_) return;
  StartRuns(report);
  if (pending_ == nullptr || pending_->expect.kind != Expectation::Kind::kSetFeature) return;
  if (MatchesPattern(pending_->expect.pattern, report)) {
    Met();
  } else {
    Witnessed(ShownReport(report, pending_->expect.pattern.size()));
  }
}

void Player::StartRuns(std::span<const uint8_t> report) {
  for (size_t rule = 0; rule < scenario_.rules.size(); ++rule) {
    if (!MatchesPattern(scenario_.rules[rule].pattern, report)) continue;
    if (runs_.size() >= kMaxRuleRuns) {
      ++rule_runs_refused_;
      continue;
    }
    const StrandId strand = next_run_++;
    runs_.push_back(RuleRun{strand, rule, 0, Milliseconds(0)});
    const std::optional<Milliseconds> wait = AdvanceRun(strand);
    if (wait && on_wake_) on_wake_(strand, wait);
  }
}

void Player::EventRaised(const RaisedEvent& event) {
  if (pending_ == nullptr || pending_->expect.kind != Expectation::Kind::kEvent) return;
  const std::span<const uint8_t> bytes(event.bytes.data(),
                                       std::min(event.byte_count, event.bytes.size()));
  if (event.id == pending_->expect.event && MatchesPattern(pending_->expect.pattern, bytes)) {
    Met();
  } else {
    Witnessed(ShownEvent(event));
  }
}

void Player::EndRun() {
  if (pending_ == nullptr) return;
  std::string why = "the run ended first";
  if (witnessed_count_ > 0) {
    why += " (" + OthersWitnessed(pending_->expect.kind, witnessed_, witnessed_count_) + ")";
  }
  Fail(why);
}

void Player::Met() {
  pending_ = nullptr;
  const std::optional<Milliseconds> wait = AdvanceMain();
  if (on_wake_) on_wake_(kMainStrand, wait);
}

void Player::Witnessed(std::string shown) {
  if (witnessed_.size() < kWitnessesShown) witnessed_.push_back(std::move(shown));
  ++witnessed_count_;
}

void Player::Fail(const std::string& why) {
  const Step& step = *pending_;
  pending_ = nullptr;
  failures_.push_back({step.line, scenario_.source + ":" + std::to_string(step.line) +
                                      ": expected " + step.expect.text + "; " + why});
  if (on_failure_) on_failure_(failures_.back());
}

void Player::set_wake_handler(WakeHandler handler) {
  on_wake_ = std::move(handler);
  if (!on_wake_) return;
  // Copied first: the handler may start or end runs.
  std::vector<std::pair<StrandId, Milliseconds>> waiting;
  for (const RuleRun& run : runs_) waiting.emplace_back(run.id, run.wait);
  for (const auto& [strand, wait] : waiting) on_wake_(strand, wait);
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
    case StepKind::kModel:
      ApplyModelChange(step.model, system_.Terminal(id_));
      break;
    case StepKind::kWait:
    case StepKind::kExpect:
      break;
  }
}

TimedPlayer::TimedPlayer(Player& player, const TimerFactory& make_timer)
    : player_(player), make_timer_(make_timer), timer_(make_timer_([this] { OnTick(); })) {}

TimedPlayer::~TimedPlayer() { player_.set_wake_handler(nullptr); }

void TimedPlayer::Start() {
  player_.set_wake_handler(
      [this](Player::StrandId strand, std::optional<Milliseconds> wait) { OnWake(strand, wait); });
  OnTick();
}

void TimedPlayer::Arm(Timer& timer, std::optional<Milliseconds> wait) {
  timer.SetEnabled(false);
  if (!wait) return;
  timer.SetInterval(static_cast<int32_t>(wait->count()));
  timer.SetEnabled(true);
}

void TimedPlayer::OnTick() {
  timer_->SetEnabled(false);
  Arm(*timer_, player_.Advance());
}

void TimedPlayer::OnSlotTick(size_t slot) {
  const Player::StrandId strand = slots_[slot].strand;
  slots_[slot].timer->SetEnabled(false);
  const std::optional<Milliseconds> wait = player_.Advance(strand);
  // Looked up again: a run started meanwhile may have added slots.
  Slot& now = slots_[slot];
  if (now.strand != strand) return;
  if (!wait) now.strand = 0;
  Arm(*now.timer, wait);
}

void TimedPlayer::OnWake(Player::StrandId strand, std::optional<Milliseconds> wait) {
  if (strand == Player::kMainStrand) {
    Arm(*timer_, wait);
    return;
  }
  auto slot = std::find_if(slots_.begin(), slots_.end(),
                           [strand](const Slot& s) { return s.strand == strand; });
  if (slot == slots_.end() && !wait) return;
  if (slot == slots_.end()) {
    slot = std::find_if(slots_.begin(), slots_.end(), [](const Slot& s) { return s.strand == 0; });
  }
  if (slot == slots_.end()) {
    const size_t index = slots_.size();
    slots_.push_back(Slot{make_timer_([this, index] { OnSlotTick(index); }), 0});
    slot = slots_.end() - 1;
  }
  slot->strand = wait ? strand : 0;
  Arm(*slot->timer, wait);
}

}  // namespace usborva::scenario
