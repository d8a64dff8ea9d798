// SPDX-License-Identifier: Apache-2.0
#include "usborva/event_loop.h"

#include <algorithm>
#include <utility>

#include "host/loop_core.h"
#include "host/loop_timer.h"

namespace usborva {
namespace host {

LoopClock::TimePoint SaturatingAdd(LoopClock::TimePoint a, LoopClock::Duration b) {
  if (b <= LoopClock::Duration::zero()) return a;
  if (a > LoopClock::TimePoint::max() - b) return LoopClock::TimePoint::max();
  return a + b;
}

namespace {

using TimePoint = LoopClock::TimePoint;

// A loop with nothing due still wakes now and then; it costs nothing and keeps every
// deadline far from the clock's range.
constexpr LoopClock::Duration kLongestSleep = std::chrono::hours(1);

// The timer that can tick first (ties: the one created first), or null.
std::shared_ptr<TimerState> NextDue(const LoopCore& core) {
  std::shared_ptr<TimerState> next;
  for (const std::shared_ptr<TimerState>& timer : core.timers) {
    if (!timer->CanTick()) continue;
    if (!next || timer->due < next->due ||
        (timer->due == next->due && timer->creation_order < next->creation_order)) {
      next = timer;
    }
  }
  return next;
}

// Runs one tick. Unless the handler re-armed or stopped its own timer, the next tick is due
// one interval after this one was due, which keeps the cadence free of drift; when that
// moment has already passed (the tick came late or the handler overran), the next tick is
// due one full interval after the handler returned, so missed ticks are dropped rather
// than delivered as a burst.
void DeliverTick(LoopCore& core, const std::shared_ptr<TimerState>& timer) {
  const uint64_t generation = timer->generation;
  const TimePoint due = timer->due;
  const auto finish = [&] {
    timer->in_tick = false;
    if (timer->enabled && timer->generation == generation) {
      const auto interval = std::chrono::milliseconds(timer->interval_ms);
      const TimePoint now = core.clock.Now();
      const TimePoint next = SaturatingAdd(due, interval);
      timer->due = next > now ? next : SaturatingAdd(now, interval);
    }
  };
  timer->in_tick = true;
  try {
    timer->on_tick();
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

// The body of every run: ticks due up to end, sleeping in between, until done() holds or
// Stop. Returns whether done() held.
bool RunLoop(LoopCore& core, const std::function<bool()>* done, TimePoint end) {
  ++core.run_depth;
  struct DepthGuard {
    LoopCore& core;
    ~DepthGuard() { --core.run_depth; }
  } guard{core};
  core.stop_requested = false;
  for (;;) {
    if (done != nullptr && (*done)()) return true;
    if (core.stop_requested.exchange(false)) return false;
    const std::shared_ptr<TimerState> timer = NextDue(core);
    const TimePoint now = core.clock.Now();
    const TimePoint wake_limit = SaturatingAdd(now, kLongestSleep);
    if (timer && timer->due <= end) {
      if (timer->due <= now) {
        DeliverTick(core, timer);
      } else {
        core.clock.SleepUntil(std::min(timer->due, wake_limit));
      }
      continue;
    }
    if (now >= end) return false;
    core.clock.SleepUntil(std::min(end, wake_limit));
  }
}

}  // namespace
}  // namespace host

EventLoop::EventLoop()
    : own_clock_(std::make_unique<SteadyLoopClock>()),
      core_(std::make_shared<host::LoopCore>(*own_clock_)) {}

EventLoop::EventLoop(LoopClock& clock) : core_(std::make_shared<host::LoopCore>(clock)) {}

EventLoop::~EventLoop() = default;

std::unique_ptr<Timer> EventLoop::CreateTimer(std::function<void()> on_tick) {
  auto state = std::make_shared<host::TimerState>();
  state->on_tick = std::move(on_tick);
  state->creation_order = core_->next_creation_order++;
  core_->timers.push_back(state);
  return std::make_unique<host::LoopTimer>(core_, std::move(state));
}

void EventLoop::Run() { host::RunLoop(*core_, nullptr, LoopClock::TimePoint::max()); }

void EventLoop::RunFor(Duration duration) {
  host::RunLoop(*core_, nullptr, host::SaturatingAdd(core_->clock.Now(), duration));
}

bool EventLoop::RunUntil(const std::function<bool()>& done, Duration timeout) {
  return host::RunLoop(*core_, &done, host::SaturatingAdd(core_->clock.Now(), timeout));
}

std::optional<EventLoop::Duration> EventLoop::TimeUntilNextTick() {
  const std::shared_ptr<host::TimerState> timer = host::NextDue(*core_);
  if (!timer) return std::nullopt;
  const LoopClock::TimePoint now = core_->clock.Now();
  return timer->due > now ? timer->due - now : Duration::zero();
}

void EventLoop::Stop() {
  if (core_->run_depth.load() == 0) return;
  core_->stop_requested = true;
  core_->clock.Interrupt();
}

LoopClock& EventLoop::clock() { return core_->clock; }

}  // namespace usborva
