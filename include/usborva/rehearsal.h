// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_REHEARSAL_H_
#define USBORVA_REHEARSAL_H_

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "usborva/events.h"
#include "usborva/export.h"
#include "usborva/forwarding_event_sink.h"
#include "usborva/scenario.h"
#include "usborva/usborva.h"
#include "usborva/variant.h"

namespace usborva {

/// One event of a rehearsal, kept after the handlers have run: its virtual time and its own
/// copies of its arguments (a RaisedEvent points into the control and is gone with the call).
struct USBORVA_EXPORT RehearsedEvent {
  /// Virtual time since the scenario started (the write of PortOpen = True).
  std::chrono::milliseconds at{0};
  EventId id = EventId::kCardDataChanged;  ///< Which event.
  /// The byte arguments, first declared first; those past byte_count are 0.
  std::array<uint8_t, 3> bytes{};
  size_t byte_count = 0;  ///< How many of bytes the event declares (0 to 3).
  /// PINResponse's key serial number; nullopt for every other event.
  std::optional<String> KSN;
  /// PINResponse's encrypted PIN block, only when RehearsalOptions::keep_pin_blocks is set;
  /// nullopt otherwise and for every other event.
  std::optional<String> EPB;

  /// The event's name ("DeviceStatusChanged").
  std::string_view name() const { return EventName(id); }
};

/// What the host's code under test does with each event: it gets the control, so it can
/// answer as the host application would (read CardData, call SetFeatureReport, ...). It
/// runs inside the poll tick that raised the event, as a handler of the host does.
using RehearsalHandler = std::function<void(USBORVA& control, const RaisedEvent& event)>;

/// How a rehearsal runs; the defaults suit a unit test.
struct USBORVA_EXPORT RehearsalOptions {
  /// Runs once the control has its properties and before the port opens: set properties,
  /// or keep the control for the handlers.
  std::function<void(USBORVA& control)> setup;
  /// The most virtual time the scenario may take before the rehearsal gives up on it.
  std::chrono::milliseconds limit = std::chrono::hours(1);
  /// Quiet time after the scenario's last step before the run counts as over: the reports
  /// still queued reach the control a poll tick or more after the step that sent them.
  std::chrono::milliseconds settle{500};
  /// Keep PINResponse's encrypted PIN block in the events (RehearsedEvent::EPB). Off: a
  /// PIN block is handed to the handler and not kept.
  bool keep_pin_blocks = false;
  /// Where the control's settings (GetDefSetting, SaveDefSetting) live; empty: a private
  /// scratch folder, removed afterwards, so a rehearsal never touches the user's settings.
  std::string settings_root;
};

/// What a rehearsal gave.
struct USBORVA_EXPORT Rehearsal {
  std::vector<RehearsedEvent> events;  ///< In the order the control raised them.
  /// The scenario's expectations that failed, each naming its line; empty when every
  /// expectation held (or the scenario has none).
  std::vector<std::string> failures;
  bool opened = false;    ///< PortOpen read True after the open.
  bool finished = false;  ///< The scenario played its last step within the limit.
  /// Virtual time from the start to the end of the run, the settling included.
  std::chrono::milliseconds length{0};

  /// Finished, and no expectation failed.
  bool passed() const { return finished && failures.empty(); }
  /// The events' names, in order.
  std::vector<std::string_view> names() const;
  /// The events of one kind, in order.
  std::vector<RehearsedEvent> named(EventId id) const;
};

/// Plays scenario against the host's handler in virtual time (hours of scenario in
/// milliseconds, always in the same order) and returns the events. One control in a Host
/// on a virtual-time loop, on a simulated terminal installed for the call on the calling
/// thread: InitProperties, options.setup, PortOpen = True, the scenario started, the loop
/// run until the scenario has finished (at most options.limit) and settled, PortOpen =
/// False, Terminate. The events reach the scenario's player too, for its expectations.
///
/// ```cpp
/// usborva::Rehearsal run = usborva::Rehearse(
///     usborva::scenario::LoadScenario("examples/normal_swipe.scn"),
///     [](usborva::USBORVA& control, const usborva::RaisedEvent& event) {
///       if (event.id == usborva::EventId::kCardDataChanged) control.put_CardData(u"...");
///     });
/// EXPECT_EQ(run.named(usborva::EventId::kCardDataChanged).size(), 1u);
/// ```
///
/// What the handler or setup throws ends the rehearsal and reaches the caller, the port
/// closed. Throws AutomationError as the control does, and std::runtime_error when no
/// scratch folder for the settings can be made.
USBORVA_EXPORT Rehearsal Rehearse(scenario::Scenario scenario, const RehearsalHandler& handler = {},
                                  const RehearsalOptions& options = {});

}  // namespace usborva

#endif  // USBORVA_REHEARSAL_H_
