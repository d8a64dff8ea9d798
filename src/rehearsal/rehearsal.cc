// SPDX-License-Identifier: Apache-2.0
#include "usborva/rehearsal.h"

#include <utility>

#include "rehearsal/event_recorder.h"
#include "rehearsal/scratch_folder.h"
#include "usborva/event_loop.h"
#include "usborva/host.h"
#include "usborva/manual_loop_clock.h"
#include "usborva/scenario_machine.h"

namespace usborva {
namespace {

using std::chrono::duration_cast;
using std::chrono::milliseconds;

// Closes the port and terminates the control on the way out, a handler's exception
// included, as a form closing would.
class ClosesPort {
 public:
  explicit ClosesPort(USBORVA& control) : control_(control) {}
  ~ClosesPort() {
    if (closed_) return;
    try {
      Close();
    } catch (...) {
      // Already leaving with the caller's own exception.
    }
  }
  void Close() {
    closed_ = true;
    control_.put_PortOpen(false);
    control_.Terminate();
  }

 private:
  USBORVA& control_;
  bool closed_ = false;
};

// Runs on until settle passes without an event (or the limit is reached): the last
// reports of a scenario reach the control a poll tick or more after the step that sent
// them.
void Settle(EventLoop& loop, const Rehearsal& result, const RehearsalOptions& options,
            const std::function<milliseconds()>& elapsed) {
  while (elapsed() < options.limit) {
    const size_t count = result.events.size();
    loop.RunFor(options.settle);
    if (result.events.size() == count) return;
  }
}

}  // namespace

std::vector<std::string_view> Rehearsal::names() const {
  std::vector<std::string_view> out;
  out.reserve(events.size());
  for (const RehearsedEvent& event : events) out.push_back(event.name());
  return out;
}

std::vector<RehearsedEvent> Rehearsal::named(EventId id) const {
  std::vector<RehearsedEvent> out;
  for (const RehearsedEvent& event : events) {
    if (event.id == id) out.push_back(event);
  }
  return out;
}

Rehearsal Rehearse(scenario::Scenario scenario, const RehearsalHandler& handler,
                   const RehearsalOptions& options) {
  std::optional<rehearsal::ScratchFolder> scratch;
  if (options.settings_root.empty()) scratch.emplace();
  ManualLoopClock clock;
  EventLoop loop(clock);
  scenario::ScenarioMachine machine(std::move(scenario), [&loop](std::function<void()> tick) {
    return loop.CreateTimer(std::move(tick));
  });
  const LoopClock::TimePoint start = clock.Now();
  const auto elapsed = [&clock, start] { return duration_cast<milliseconds>(clock.Now() - start); };

  Rehearsal result;
  rehearsal::EventRecorder recorder(result.events, handler, machine.player(), elapsed,
                                    options.keep_pin_blocks);
  HostOptions host_options;
  host_options.events = &recorder;
  host_options.settings_root = scratch ? scratch->path() : options.settings_root;
  Host host(loop, host_options);
  USBORVA control(host);
  recorder.set_control(control);
  control.InitProperties();
  if (options.setup) options.setup(control);

  ClosesPort closes(control);
  control.put_PortOpen(true);
  result.opened = control.get_PortOpen();
  machine.Start();
  result.finished = loop.RunUntil([&machine] { return machine.Finished(); }, options.limit);
  // An expectation still waiting at the limit fails: a run cut short does not pass.
  if (!result.finished) machine.player().EndRun();
  Settle(loop, result, options, elapsed);
  closes.Close();
  result.length = elapsed();
  for (const scenario::ExpectationFailure& failure : machine.player().failures()) {
    result.failures.push_back(failure.message);
  }
  return result;
}

}  // namespace usborva
