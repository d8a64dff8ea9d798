// SPDX-License-Identifier: Apache-2.0
// What a scenario does, as a value two scenarios can be compared by: the terminal it
// installs and what happens at which time. Two scenarios with the same behaviour play
// alike on any machine, whatever their steps look like (repeats expanded or not, waits
// split or joined, a swipe as one step or nine).
#ifndef USBORVA_TEST_SCENARIO_BEHAVIOUR_H_
#define USBORVA_TEST_SCENARIO_BEHAVIOUR_H_

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "usborva/scenario.h"

namespace usborva::test {

// One thing that happens: a report queued, a note, an unplug, a plug, a fault switched.
struct TimedAction {
  int64_t at_ms = 0;
  scenario::StepKind kind = scenario::StepKind::kWait;
  std::vector<uint8_t> report;
  int fault = 0;
  bool fault_on = false;
  std::string text;

  auto Key() const { return std::tie(at_ms, kind, report, fault, fault_on, text); }
  friend bool operator==(const TimedAction& a, const TimedAction& b) { return a.Key() == b.Key(); }
};

// A pattern as text, "??" for any byte.
inline std::string PatternKey(const scenario::BytePattern& pattern) {
  std::string key;
  for (const auto& byte : pattern) key += byte ? std::to_string(*byte) + " " : "?? ";
  return key;
}

inline std::vector<TimedAction> Timeline(const std::vector<scenario::Step>& steps) {
  std::vector<TimedAction> actions;
  int64_t now = 0;
  for (const scenario::Step& step : steps) {
    TimedAction action;
    action.at_ms = now;
    action.kind = step.kind;
    switch (step.kind) {
      case scenario::StepKind::kWait:
        now += step.wait.count();
        continue;
      case scenario::StepKind::kReports:
        for (const auto& report : step.reports) {
          action.report = report;
          actions.push_back(action);
        }
        continue;
      case scenario::StepKind::kFault:
        action.fault = static_cast<int>(step.fault);
        action.fault_on = step.fault_on;
        break;
      case scenario::StepKind::kNote:
        action.text = step.text;
        break;
      case scenario::StepKind::kModel:
        action.fault = static_cast<int>(step.model.part) * 256 + step.model.id;
        action.fault_on = step.model.bytes.has_value();
        action.report = step.model.bytes.value_or(std::vector<uint8_t>());
        break;
      case scenario::StepKind::kExpect:
        action.fault =
            static_cast<int>(step.expect.kind) * 256 + static_cast<int>(step.expect.event);
        action.text = PatternKey(step.expect.pattern) + std::to_string(step.expect.within.count());
        break;
      default:
        break;
    }
    actions.push_back(action);
  }
  // A scenario ends when its last wait does.
  TimedAction end;
  end.at_ms = now;
  actions.push_back(end);
  return actions;
}

inline std::vector<TimedAction> Timeline(const scenario::Scenario& s) { return Timeline(s.steps); }

// The rules as comparable values: each pattern with its body's timeline.
inline std::vector<std::pair<std::string, std::vector<TimedAction>>> Rules(
    const scenario::Scenario& s) {
  std::vector<std::pair<std::string, std::vector<TimedAction>>> rules;
  for (const scenario::Rule& rule : s.rules)
    rules.emplace_back(PatternKey(rule.pattern), Timeline(rule.steps));
  return rules;
}

// The first field in which two terminals differ, or nullopt when they are the same.
inline std::optional<std::string> TerminalDifference(const scenario::Scenario& a,
                                                     const scenario::Scenario& b) {
  const sim::InterfaceSpec& x = a.terminal;
  const sim::InterfaceSpec& y = b.terminal;
  const std::pair<bool, const char*> checks[] = {
      {x.path == y.path, "path"},
      {x.vendor_id == y.vendor_id, "vendor"},
      {x.product_id == y.product_id, "product"},
      {x.version_number == y.version_number, "version"},
      {x.usage_page == y.usage_page, "usage page"},
      {x.usage == y.usage, "usage"},
      {x.input_report_length == y.input_report_length, "input length"},
      {x.output_report_length == y.output_report_length, "output length"},
      {x.feature_report_length == y.feature_report_length, "feature length"},
      {x.serial_number == y.serial_number, "serial"},
      {x.product_string == y.product_string, "product string"},
      {x.indexed_strings == y.indexed_strings, "indexed strings"},
      {x.terminal.items == y.terminal.items, "identity items"},
      {x.terminal.config == y.terminal.config, "configuration bytes"},
      {x.terminal.fixed_reports == y.terminal.fixed_reports, "feature reports"},
      {x.terminal.selected_item == y.terminal.selected_item, "selected item"},
      {a.starts_plugged == b.starts_plugged, "starts plugged"},
      {a.config_text == b.config_text, "configuration file"},
      {a.faults == b.faults, "start-up faults"},
      {x.queue_policy == y.queue_policy, "driver queue"},
      {Rules(a) == Rules(b), "rules"},
  };
  for (const auto& [same, what] : checks) {
    if (!same) return what;
  }
  return std::nullopt;
}

// Every scenario the tests try round trips on: the examples and the scenario fuzz corpus
// (files that do not parse among them), below the source folder.
inline std::vector<std::filesystem::path> ScenarioFiles(const std::filesystem::path& source) {
  std::vector<std::filesystem::path> files;
  for (const char* folder : {"examples", "fuzz/corpus/scenario"}) {
    for (const auto& entry : std::filesystem::directory_iterator(source / folder)) {
      if (!entry.is_regular_file()) continue;
      if (std::string_view(folder) == "examples" && entry.path().extension() != ".scn") continue;
      files.push_back(entry.path());
    }
  }
  return files;
}

}  // namespace usborva::test

#endif  // USBORVA_TEST_SCENARIO_BEHAVIOUR_H_
