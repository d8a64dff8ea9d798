// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_HOST_LOOP_TIMER_H_
#define USBORVA_HOST_LOOP_TIMER_H_

#include <memory>

#include "host/loop_core.h"
#include "usborva/container.h"

namespace usborva::host {

// The Timer an EventLoop hands out.
class LoopTimer final : public Timer {
 public:
  LoopTimer(std::weak_ptr<LoopCore> core, std::shared_ptr<TimerState> state);
  ~LoopTimer() override;
  LoopTimer(const LoopTimer&) = delete;
  LoopTimer& operator=(const LoopTimer&) = delete;

  void SetEnabled(bool enabled) override;
  bool Enabled() const override { return state_->enabled; }
  // A negative interval is refused with error 380 (invalid property value).
  void SetInterval(int32_t milliseconds) override;
  int32_t Interval() const override { return state_->interval_ms; }

 private:
  void Restart();

  std::weak_ptr<LoopCore> core_;
  std::shared_ptr<TimerState> state_;
};

}  // namespace usborva::host

#endif  // USBORVA_HOST_LOOP_TIMER_H_
