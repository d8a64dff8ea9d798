// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_MANUAL_LOOP_CLOCK_H_
#define USBORVA_MANUAL_LOOP_CLOCK_H_

#include <cstdint>

#include "usborva/export.h"
#include "usborva/loop_clock.h"

namespace usborva {

/// A clock that only moves when told to: a sleep jumps straight to its deadline. Lets tests
/// and scripted runs drive an EventLoop through hours of timer ticks in no real time. For one
/// thread only.
class USBORVA_EXPORT ManualLoopClock final : public LoopClock {
 public:
  ManualLoopClock() = default;
  /// A clock that reads start until it is moved.
  explicit ManualLoopClock(TimePoint start) : now_(start) {}

  /// The time set by the last sleep or Advance.
  TimePoint Now() override { return now_; }
  /// Jumps to deadline at once (a deadline already passed leaves the time as it is) and
  /// counts the sleep.
  void SleepUntil(TimePoint deadline) override;
  void Interrupt() override {}  ///< Nothing to end: no sleep ever waits.

  /// Moves the time forward (a tick handler can use this to stand for slow work).
  void Advance(Duration by) { now_ += by; }
  /// How many times the loop went to sleep: one per wake-up, never a spin.
  uint64_t sleep_count() const { return sleep_count_; }

 private:
  // Far enough from the epoch that subtracting an interval never underflows.
  TimePoint now_ = TimePoint() + std::chrono::hours(24);
  uint64_t sleep_count_ = 0;
};

}  // namespace usborva

#endif  // USBORVA_MANUAL_LOOP_CLOCK_H_
