// SPDX-License-Identifier: Apache-2.0
// Scenario text from a host developer's file: the parser must either accept it or refuse
// it with a ScenarioError that has a place, never fault, and never build a report of a
// length other than the terminal's. Inputs go up to 1 MB with a per-input timeout
// (fuzz/scenario.flags), so a reader that is not linear, or a repeat that expands past
// its limits, shows as a timeout or an out-of-memory here. An error message never holds
// a control character or a card number, whatever the text quoted in it.
//
// A scenario that parses and is small is then played against a control for a few seconds of
// virtual time, with the host sending feature reports built from the scenario's own patterns
// (so its rules run and its expectations are met or failed): nothing may crash, a run of
// rules must stay within its limit, and every failure must name its line.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_checks.h"
#include "usborva/forwarding_event_sink.h"
#include "usborva/hex_digits.h"
#include "usborva/scenario.h"
#include "usborva/usborva.h"
#include "usborva_test/null_container.h"

namespace {

using usborva::fuzz::Require;

namespace scenario = usborva::scenario;

void CheckScenario(const scenario::Scenario& parsed) {
  Require(parsed.Length() <= scenario::kMaxLength);
  Require(parsed.rules.size() <= scenario::kMaxRules);
  const auto length = static_cast<size_t>(parsed.terminal.input_report_length);
  const auto feature_length = static_cast<size_t>(parsed.terminal.feature_report_length);
  size_t steps = 0;
  size_t bytes = 0;
  size_t note_bytes = 0;
  auto count = [&](const std::vector<scenario::Step>& list) {
    for (const scenario::Step& step : list) {
      ++steps;
      for (const auto& report : step.reports) {
        Require(report.size() == length);
        bytes += report.size();
      }
      Require(step.text.size() <= scenario::kMaxTextBytes);
      note_bytes += step.text.size();
      if (step.kind == scenario::StepKind::kExpect) {
        Require(step.expect.within.count() > 0);
        if (step.expect.kind == scenario::Expectation::Kind::kSetFeature) {
          Require(!step.expect.pattern.empty() && step.expect.pattern.size() <= feature_length);
        }
      }
    }
  };
  count(parsed.steps);
  for (const scenario::Rule& rule : parsed.rules) {
    Require(!rule.pattern.empty() && rule.pattern.size() <= feature_length);
    count(rule.steps);
  }
  Require(steps <= scenario::kMaxSteps);
  Require(bytes <= scenario::kMaxReportBytes);
  Require(note_bytes <= scenario::kMaxNoteBytes);
}

// --- playing: virtual time in steps of one poll interval

constexpr int64_t kTickMs = 25;
constexpr int64_t kPlayMs = 5000;
constexpr size_t kMaxPlayedSteps = 2000;
constexpr size_t kMaxSends = 8;

// The player's timers on a virtual clock.
class VirtualTimers {
 public:
  class VirtualTimer : public usborva::Timer {
   public:
    VirtualTimer(VirtualTimers& owner, std::function<void()> tick)
        : owner_(owner), tick_(std::move(tick)) {}
    void SetEnabled(bool enabled) override {
      if (enabled && !enabled_) due_ = owner_.now + interval_;
      enabled_ = enabled;
    }
    bool Enabled() const override { return enabled_; }
    void SetInterval(int32_t ms) override { interval_ = ms; }
    int32_t Interval() const override { return interval_; }

    VirtualTimers& owner_;
    std::function<void()> tick_;
    bool enabled_ = false;
    int32_t interval_ = 0;
    int64_t due_ = 0;
  };

  std::unique_ptr<usborva::Timer> Make(std::function<void()> tick) {
    auto timer = std::make_unique<VirtualTimer>(*this, std::move(tick));
    timers_.push_back(timer.get());
    return timer;
  }

  // Ticks every timer due by `until`, earliest first. Timers live as long as this object.
  void RunUntil(int64_t until) {
    for (;;) {
      VirtualTimer* next = nullptr;
      for (VirtualTimer* t : timers_) {
        if (t->enabled_ && t->due_ <= until && (next == nullptr || t->due_ < next->due_)) next = t;
      }
      if (next == nullptr) break;
      now = std::max(now, next->due_);
      next->due_ = now + std::max<int32_t>(next->interval_, 1);
      next->tick_();
    }
    now = until;
  }

  int64_t now = 0;

 private:
  std::vector<VirtualTimer*> timers_;
};

// The control's events go to the player, as a host that judges expectations feeds them.
class Feeder final : public usborva::ForwardingEventSink {
 public:
  explicit Feeder(scenario::Player& player) : player_(player) {}
  void Forward(const usborva::RaisedEvent& event) override { player_.EventRaised(event); }

 private:
  scenario::Player& player_;
};

// The host's commands: the scenario's own patterns, any byte as 00, in spaced hex.
std::vector<usborva::String> Commands(const scenario::Scenario& parsed) {
  std::vector<usborva::String> commands;
  auto add = [&](const scenario::BytePattern& pattern) {
    std::string hex;
    for (const auto& byte : pattern) {
      usborva::AppendHexByte(hex, byte.value_or(0));
      hex += ' ';
    }
    if (commands.size() < kMaxSends) commands.push_back(usborva::Utf8ToString(hex));
  };
  for (const scenario::Rule& rule : parsed.rules) add(rule.pattern);
  for (const scenario::Step& step : parsed.steps) {
    if (step.kind == scenario::StepKind::kExpect &&
        step.expect.kind == scenario::Expectation::Kind::kSetFeature) {
      add(step.expect.pattern);
    }
  }
  return commands;
}

size_t StepCount(const scenario::Scenario& parsed) {
  size_t steps = parsed.steps.size();
  for (const scenario::Rule& rule : parsed.rules) steps += rule.steps.size();
  return steps;
}

void Play(scenario::Scenario parsed) {
  if (StepCount(parsed) > kMaxPlayedSteps) return;
  const std::vector<usborva::String> commands = Commands(parsed);
  const std::unique_ptr<usborva::SimulatedHidSystem> machine = usborva::NewSimulatedHidSystem();
  scenario::Player player(*machine, std::move(parsed));
  player.Install();
  usborva::ScopedHidSystem installed(*machine);
  Feeder feeder(player);
  usborva::test::NullContainer container(&feeder);
  usborva::USBORVA control(container);
  control.InitProperties();
  control.put_PortOpen(true);
  VirtualTimers timers;
  {
    scenario::TimedPlayer timed(
        player, [&](std::function<void()> tick) { return timers.Make(std::move(tick)); });
    timed.Start();
    size_t sent = 0;
    for (int64_t t = kTickMs; t <= kPlayMs; t += kTickMs) {
      timers.RunUntil(t);
      container.timer().Tick();
      // Every fifth tick the host sends the next command.
      if (t % (5 * kTickMs) == 0 && sent < commands.size()) {
        usborva::Variant out;
        control.SetFeatureReport(commands[sent++], out);
      }
      Require(player.RunningRules() <= scenario::kMaxRuleRuns);
      Require(
          machine->QueuedInputReports(player.interface_id()) <=
          usborva::sim::InputQueueDepth(machine->Interface(player.interface_id()).queue_policy));
    }
    player.EndRun();
  }
  for (const scenario::ExpectationFailure& failure : player.failures()) {
    Require(failure.line >= 1);
    Require(failure.message.rfind("fuzz:" + std::to_string(failure.line) + ": expected ", 0) == 0);
  }
  control.put_PortOpen(false);
  control.Terminate();
}

// The message holds no run of 12 or more digits, its escapes read as what they stand for
// (a "\xE4" before eleven digits of the text is no card number).
void CheckNoCardNumber(std::string_view message) {
  constexpr size_t kCardDigits = 12;
  size_t run = 0;
  for (size_t i = 0; i < message.size(); ++i) {
    if (message[i] == '\\' && i + 1 < message.size() &&
        (message[i + 1] == 'x' || message[i + 1] == 'u')) {
      i += message[i + 1] == 'x' ? 3 : 5;
      run = 0;
      continue;
    }
    run = message[i] >= '0' && message[i] <= '9' ? run + 1 : 0;
    Require(run < kCardDigits);
  }
}

void CheckError(const scenario::ScenarioError& error, std::string_view text) {
  Require((error.line() >= 1 && error.column() >= 1) || text.size() > scenario::kMaxScenarioBytes);
  for (char c : error.message()) {
    const auto byte = static_cast<unsigned char>(c);
    Require(byte >= 0x20 && byte != 0x7F);
  }
  CheckNoCardNumber(error.message());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    scenario::Scenario parsed = scenario::ParseScenario(text, "fuzz");
    CheckScenario(parsed);
    Play(std::move(parsed));
  } catch (const scenario::ScenarioError& error) {
    CheckError(error, text);
  }
  return 0;
}
