// Scenario text from a host developer's file: the parser must either accept it or refuse
// it with a ScenarioError that has a place, never fault, and never build a report of a
// length other than the terminal's.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "usborva/scenario.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const usborva::scenario::Scenario scenario = usborva::scenario::ParseScenario(text, "fuzz");
    Require(scenario.steps.size() <= usborva::scenario::kMaxSteps);
    Require(scenario.Length() <= usborva::scenario::kMaxLength);
    const auto length = static_cast<size_t>(scenario.terminal.input_report_length);
    size_t bytes = 0;
    for (const usborva::scenario::Step& step : scenario.steps) {
      for (const auto& report : step.reports) {
        Require(report.size() == length);
        bytes += report.size();
      }
    }
    Require(bytes <= usborva::scenario::kMaxReportBytes);
  } catch (const usborva::scenario::ScenarioError& error) {
    Require(error.line() >= 1 && error.column() >= 1);
  }
  return 0;
}
