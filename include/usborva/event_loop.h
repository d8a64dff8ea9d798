// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_EVENT_LOOP_H_
#define USBORVA_EVENT_LOOP_H_

#include <functional>
#include <memory>
#include <optional>

#include "usborva/container.h"
#include "usborva/export.h"
#include "usborva/loop_clock.h"

namespace usborva {

namespace host {
struct LoopCore;
}

/// The standalone host's message loop: it runs on the thread that calls Run, RunFor or
/// RunUntil and delivers timer ticks only from inside those calls, so a tick never arrives
/// re-entrantly from SetEnabled or from inside a call into the control. Between ticks the
/// thread sleeps until the next timer is due; it never polls.
///
/// Timers (CreateTimer) behave like the platform's form timer:
///  - created disabled; a tick is due Interval milliseconds after Enabled becomes true, and
///    then every Interval milliseconds; an Interval of 0 never ticks;
///  - enabling a disabled timer, or setting Interval on an enabled one, restarts the count;
///    enabling an enabled timer changes nothing;
///  - a timer disabled (or destroyed) before its tick, including from inside another tick
///    or its own, delivers nothing more;
///  - a late tick is delivered once, never as a burst: the next tick is due one Interval
///    after the previous one was due, or, when that has already passed (a late tick or a
///    handler that overran), one Interval after the handler returned;
///  - one timer's handler is never entered twice at once: while it runs (even in a nested
///    run called from it) that timer does not tick;
///  - timers due at the same moment tick in the order they were created.
/// A handler that throws ends the run; the exception reaches the caller of Run.
/// All members except Stop belong to the loop's thread. Timers may outlive the loop
/// (they just never tick again) and may be destroyed at any time, even from a tick.
class USBORVA_EXPORT EventLoop {
 public:
  using Duration = LoopClock::Duration;  ///< Time spans, on the loop's clock.

  /// A loop on the real monotonic clock.
  EventLoop();
  /// A loop on the given clock, which must outlive the loop (tests use ManualLoopClock).
  explicit EventLoop(LoopClock& clock);
  ~EventLoop();
  EventLoop(const EventLoop&) = delete;
  EventLoop& operator=(const EventLoop&) = delete;

  /// A new timer, disabled, with Interval 0.
  std::unique_ptr<Timer> CreateTimer(std::function<void()> on_tick);

  /// Delivers ticks until Stop.
  void Run();
  /// Delivers every tick due within duration from now, then returns (early on Stop).
  void RunFor(Duration duration);
  /// Delivers ticks until done() holds (checked at the start and after every tick and
  /// wake-up), timeout passes, or Stop. Returns whether done() held.
  bool RunUntil(const std::function<bool()>& done, Duration timeout);

  /// For a program that keeps its own loop (libuv, GLib, a GUI toolkit) and drives this one
  /// from it: how long until the next tick is due (zero when one is due already), or
  /// nullopt when no timer is enabled. Ask again after every RunDue and after every call
  /// into the control, since either may enable, disable or re-arm timers.
  std::optional<Duration> TimeUntilNextTick();
  /// Delivers every tick due now, then returns without waiting: RunFor with no time.
  void RunDue() { RunFor(Duration::zero()); }

  /// Ends the innermost run in progress once the current tick handler returns. May be called
  /// from a tick handler, from done(), or from another thread; a Stop while no run is in
  /// progress has no effect.
  void Stop();

  /// The clock the loop reads and sleeps on.
  LoopClock& clock();

 private:
  std::unique_ptr<SteadyLoopClock> own_clock_;
  std::shared_ptr<host::LoopCore> core_;
};

}  // namespace usborva

#endif  // USBORVA_EVENT_LOOP_H_
