// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_SCENARIO_MACHINE_H_
#define USBORVA_SCENARIO_MACHINE_H_

#include <memory>

#include "usborva/export.h"
#include "usborva/hid_system.h"
#include "usborva/scenario.h"
#include "usborva/simulated_hid_system.h"

namespace usborva::scenario {

/// A simulated machine playing a scenario: the machine with the scenario's terminal on it,
/// the player and its timeline, and (by default) the machine installed as the calling
/// thread's HID system, so every control of the thread meets the simulated terminal. This is
/// what a rehearsal, the tool's --simulate, the C interface's scenarios and the
/// USBORVA_SCENARIO environment variable each stand on.
///
/// ```cpp
/// usborva::EventLoop loop;
/// usborva::scenario::ScenarioMachine machine(
///     usborva::scenario::LoadScenario("examples/normal_swipe.scn"),
///     [&loop](std::function<void()> tick) { return loop.CreateTimer(std::move(tick)); });
/// // ... a Host and a control on this thread; open the port, then:
/// machine.Start();
/// loop.RunUntil([&] { return machine.Finished(); }, std::chrono::minutes(1));
/// ```
///
/// One thread only, like the machine it owns.
class USBORVA_EXPORT ScenarioMachine {
 public:
  /// Who installs the machine as a thread's HID system.
  enum class Installation {
    /// The constructor installs it on the calling thread, the destructor puts back the
    /// system installed before (so machines and ScopedHidSystem guards nest, innermost
    /// first).
    kThisThread,
    /// The caller does, for the stretches it chooses (ScopedHidSystem on system()): a host
    /// that shares its thread with others installs its machine only during its own calls.
    kByCaller,
  };

  /// Makes the machine and adds the scenario's terminal to it (Player::Install). make_timer
  /// makes the timeline's timers, from Start on; it must stay callable while the timeline
  /// runs. The timers are destroyed with the timeline, at Stop or with the machine.
  ScenarioMachine(Scenario scenario, TimedPlayer::TimerFactory make_timer,
                  Installation installation = Installation::kThisThread);
  /// Stops the timeline and, for kThisThread, puts back the thread's previous HID system.
  ~ScenarioMachine();
  ScenarioMachine(const ScenarioMachine&) = delete;
  ScenarioMachine& operator=(const ScenarioMachine&) = delete;

  /// Starts the scenario's timeline: the steps due at once run now, later ones on the
  /// timers as the host's loop runs. Only the first call does anything, and a stopped
  /// timeline does not start again.
  void Start();
  /// Stops the timeline where it is: nothing more is played. The machine stays installed.
  void Stop();
  /// Whether Start has been called.
  bool started() const { return started_; }
  /// The scenario has nothing more to play: its last step has run, and no run of a rule
  /// that answers the host is still under way.
  bool Finished() const;

  /// The machine, to install (kByCaller), wrap, inspect or drive further.
  SimulatedHidSystem& system() { return *system_; }
  /// The player: its scenario, its terminal's interface id, its note handler.
  Player& player() { return player_; }
  /// What it plays.
  const Scenario& scenario() const { return player_.scenario(); }

 private:
  std::unique_ptr<SimulatedHidSystem> system_;
  Player player_;
  TimedPlayer::TimerFactory make_timer_;
  std::unique_ptr<TimedPlayer> timeline_;
  bool started_ = false;
  bool installed_ = false;
  HidSystem* previous_ = nullptr;
};

}  // namespace usborva::scenario

#endif  // USBORVA_SCENARIO_MACHINE_H_
