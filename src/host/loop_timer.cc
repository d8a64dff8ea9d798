// SPDX-License-Identifier: Apache-2.0
#include "host/loop_timer.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "usborva/automation_error.h"

namespace usborva::host {

LoopTimer::LoopTimer(std::weak_ptr<LoopCore> core, std::shared_ptr<TimerState> state)
    : core_(std::move(core)), state_(std::move(state)) {}

LoopTimer::~LoopTimer() {
  state_->enabled = false;
  ++state_->generation;
  if (const std::shared_ptr<LoopCore> core = core_.lock()) {
    std::erase(core->timers, state_);
  }
}

void LoopTimer::SetEnabled(bool enabled) {
  if (enabled == state_->enabled) return;
  state_->enabled = enabled;
  if (enabled) {
    Restart();
  } else {
    ++state_->generation;
  }
}

void LoopTimer::SetInterval(int32_t milliseconds) {
  if (milliseconds < 0) {
    throw AutomationError(error::kInvalidPropertyValue);
  }
  state_->interval_ms = milliseconds;
  if (state_->enabled) Restart();
}

void LoopTimer::Restart() {
  ++state_->generation;
  if (const std::shared_ptr<LoopCore> core = core_.lock()) {
    state_->due = SaturatingAdd(core->clock.Now(), std::chrono::milliseconds(state_->interval_ms));
  }
}

}  // namespace usborva::host
