// SPDX-License-Identifier: Apache-2.0
#include "usborva/scenario.h"

#include "scenario/scenario_file.h"

namespace usborva::scenario {
namespace {

std::string Where(const std::string& source, int line, int column) {
  if (line <= 0) return source;
  return source + ":" + std::to_string(line) + ":" + std::to_string(column);
}

}  // namespace

ScenarioError::ScenarioError(std::string source, int line, int column, std::string message)
    : std::runtime_error(Where(source, line, column) + ": " + message),
      source_(std::move(source)),
      line_(line),
      column_(column),
      message_(std::move(message)) {}

Milliseconds Scenario::Length() const {
  Milliseconds length{0};
  for (const Step& step : steps) {
    length += step.kind == StepKind::kExpect ? step.expect.within : step.wait;
  }
  return length;
}

Scenario LoadScenario(const std::string& path) {
  return ParseScenario(ReadScenarioFile(path), path == "-" ? kStdinName : path);
}

}  // namespace usborva::scenario
