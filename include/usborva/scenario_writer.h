// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_SCENARIO_WRITER_H_
#define USBORVA_SCENARIO_WRITER_H_

#include <cstddef>
#include <map>
#include <string>

#include "usborva/export.h"
#include "usborva/scenario.h"

namespace usborva::scenario {

/// How WriteScenario lays out its text.
struct USBORVA_EXPORT WriteOptions {
  /// Comment put at the top of the file, one "# " line per line of it; empty: none.
  std::string header;
  /// Comments put just before the line of a step, by the step's index in Scenario::steps
  /// (a report step whose reports are written together with the steps before it gets its
  /// comment before their lines). One "# " line per line of each comment.
  std::map<size_t, std::string> step_comments;
};

/// The text of a scenario: its terminal description, then its timed input, in the language
/// ParseScenario reads (docs/scenarios.md). ParseScenario of the text gives a scenario that
/// behaves exactly as this one: the same terminal (every field of the InterfaceSpec and its
/// model, the configuration file, the start-up faults, whether it starts plugged) and the
/// same reports, notes, unplugs, plugs and faults at the same times. Repeat blocks come out
/// expanded, and waits in a row as one wait.
///
/// Reports are written as the directive that builds exactly their bytes where there is one
/// (`device-status`, `card-status`, `pin-response`, `select-response`, `display-done`, and
/// `swipe` for a card status, the seven card-data items and the end item sent together as a
/// swipe sends them), else as `report` with the trailing zero bytes left out. Texts are
/// quoted with the language's escapes; control and invisible format characters, and bytes
/// that are not UTF-8, are written as escapes, so the text shows nothing deceptive.
///
/// Total on every scenario ParseScenario returns. Repeat blocks are not found again, so a
/// scenario whose repeats expand past kMaxScenarioBytes of text is written whole and is then
/// longer than a file ParseScenario reads. A scenario built by other means is written as
/// well as the language allows (a report longer than the terminal's input length is written
/// whole and refused when read back; half of a surrogate pair in a string comes out as
/// U+FFFD).
USBORVA_EXPORT std::string WriteScenario(const Scenario& scenario,
                                         const WriteOptions& options = {});

}  // namespace usborva::scenario

#endif  // USBORVA_SCENARIO_WRITER_H_
