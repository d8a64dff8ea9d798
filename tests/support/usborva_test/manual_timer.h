// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TEST_MANUAL_TIMER_H_
#define USBORVA_TEST_MANUAL_TIMER_H_

#include <cstdint>
#include <functional>
#include <utility>

#include "usborva/container.h"

namespace usborva::test {

// A timer that ticks only when its owner says so. Header-only, so benchmarks and fuzz
// targets, which build without the test framework, use it too.
class ManualTimer : public Timer {
 public:
  explicit ManualTimer(std::function<void()> on_tick) : on_tick_(std::move(on_tick)) {}
  void SetEnabled(bool enabled) override { enabled_ = enabled; }
  bool Enabled() const override { return enabled_; }
  void SetInterval(int32_t milliseconds) override { interval_ = milliseconds; }
  int32_t Interval() const override { return interval_; }
  // Delivers one tick if the timer is enabled; true when it did.
  bool Tick() {
    if (!enabled_) return false;
    on_tick_();
    return true;
  }

 private:
  std::function<void()> on_tick_;
  bool enabled_ = false;
  int32_t interval_ = 0;
};

}  // namespace usborva::test

#endif  // USBORVA_TEST_MANUAL_TIMER_H_
