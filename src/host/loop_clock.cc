// SPDX-License-Identifier: Apache-2.0
#include "usborva/loop_clock.h"

#include "usborva/manual_loop_clock.h"

namespace usborva {

LoopClock::TimePoint SteadyLoopClock::Now() { return std::chrono::steady_clock::now(); }

void SteadyLoopClock::SleepUntil(TimePoint deadline) {
  std::unique_lock<std::mutex> lock(mutex_);
  wake_.wait_until(lock, deadline, [this] { return interrupted_; });
  interrupted_ = false;
}

void SteadyLoopClock::Interrupt() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    interrupted_ = true;
  }
  wake_.notify_all();
}

void ManualLoopClock::SleepUntil(TimePoint deadline) {
  ++sleep_count_;
  if (deadline > now_) now_ = deadline;
}

}  // namespace usborva
