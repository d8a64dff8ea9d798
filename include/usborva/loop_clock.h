// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_LOOP_CLOCK_H_
#define USBORVA_LOOP_CLOCK_H_

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "usborva/export.h"

namespace usborva {

/// Where an EventLoop reads the time and sleeps. Monotonic: wall-clock changes never move it.
class USBORVA_EXPORT LoopClock {
 public:
  using Duration = std::chrono::steady_clock::duration;     ///< Nanoseconds on this clock.
  using TimePoint = std::chrono::steady_clock::time_point;  ///< A moment on this clock.

  virtual ~LoopClock() = default;
  /// The current time. Called only from the loop's thread.
  virtual TimePoint Now() = 0;
  /// Blocks until deadline, or until Interrupt is called (during the sleep, or since the
  /// previous sleep ended). Returning early is always allowed; the loop re-reads Now.
  virtual void SleepUntil(TimePoint deadline) = 0;
  /// Ends the current or the next SleepUntil at once. Safe from any thread.
  virtual void Interrupt() = 0;
};

/// The real monotonic clock; sleeps on a condition variable, so the thread uses no CPU
/// while it waits.
class USBORVA_EXPORT SteadyLoopClock final : public LoopClock {
 public:
  TimePoint Now() override;  ///< std::chrono::steady_clock::now().
  void SleepUntil(TimePoint deadline) override;
  void Interrupt() override;

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool interrupted_ = false;
};

}  // namespace usborva

#endif  // USBORVA_LOOP_CLOCK_H_
