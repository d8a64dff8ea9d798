// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_HOST_LOOP_CORE_H_
#define USBORVA_HOST_LOOP_CORE_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "usborva/loop_clock.h"

namespace usborva::host {

// One timer as the loop sees it. Shared between the Timer object and the loop, so that a
// timer destroyed inside its own tick keeps its handler alive until the handler returns.
struct TimerState {
  std::function<void()> on_tick;
  int32_t interval_ms = 0;
  bool enabled = false;
  bool in_tick = false;
  LoopClock::TimePoint due{};
  // Bumped whenever the count restarts or the timer stops, so the loop can tell whether a
  // handler re-armed its own timer.
  uint64_t generation = 0;
  uint64_t creation_order = 0;

  bool CanTick() const { return enabled && interval_ms > 0 && !in_tick; }
};

// What the loop and its timers share; timers hold it weakly so they may outlive the loop.
struct LoopCore {
  explicit LoopCore(LoopClock& clock) : clock(clock) {}

  LoopClock& clock;
  std::vector<std::shared_ptr<TimerState>> timers;
  uint64_t next_creation_order = 0;
  std::atomic<int> run_depth{0};
  std::atomic<bool> stop_requested{false};
};

// a + b, clamped to the clock's range.
LoopClock::TimePoint SaturatingAdd(LoopClock::TimePoint a, LoopClock::Duration b);

}  // namespace usborva::host

#endif  // USBORVA_HOST_LOOP_CORE_H_
