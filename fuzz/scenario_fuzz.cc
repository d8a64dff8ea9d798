// SPDX-License-Identifier: Apache-2.0
// Scenario text from a host developer's file: the parser must either accept it or refuse
// it with a ScenarioError that has a place, never fault, and never build a report of a
// length other than the terminal's. Inputs go up to 1 MB with a per-input timeout
// (fuzz/scenario.flags), so a reader that is not linear, or a repeat that expands past
// its limits, shows as a timeout or an out-of-memory here. An error message never holds
// a control character or a card number, whatever the text quoted in it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_checks.h"
#include "usborva/scenario.h"

namespace {

using usborva::fuzz::Require;

namespace scenario = usborva::scenario;

void CheckScenario(const scenario::Scenario& parsed) {
  Require(parsed.steps.size() <= scenario::kMaxSteps);
  Require(parsed.Length() <= scenario::kMaxLength);
  const auto length = static_cast<size_t>(parsed.terminal.input_report_length);
  size_t bytes = 0;
  size_t note_bytes = 0;
  for (const scenario::Step& step : parsed.steps) {
    for (const auto& report : step.reports) {
      Require(report.size() == length);
      bytes += report.size();
    }
    Require(step.text.size() <= scenario::kMaxTextBytes);
    note_bytes += step.text.size();
  }
  Require(bytes <= scenario::kMaxReportBytes);
  Require(note_bytes <= scenario::kMaxNoteBytes);
}

// The message holds no run of 12 or more digits, its escapes read as what they stand for
// (a "\xE4" before eleven digits of the text is no card number).
void CheckNoCardNumber(std::string_view message) {
  constexpr size_t kCardDigits = 12;
  size_t run = 0;
  for (size_t i = 0; i < message.size(); ++i) {
    if (message[i] == '\\' && i + 1 < message.size() &&
        (message[i + 1] == 'x' || message[i + 1] == 'u')) {
      i += message[i + 1] == 'x' ? 3 : 5;
      run = 0;
      continue;
    }
    run = message[i] >= '0' && message[i] <= '9' ? run + 1 : 0;
    Require(run < kCardDigits);
  }
}

void CheckError(const scenario::ScenarioError& error, std::string_view text) {
  Require((error.line() >= 1 && error.column() >= 1) || text.size() > scenario::kMaxScenarioBytes);
  for (char c : error.message()) {
    const auto byte = static_cast<unsigned char>(c);
    Require(byte >= 0x20 && byte != 0x7F);
  }
  CheckNoCardNumber(error.message());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    CheckScenario(scenario::ParseScenario(text, "fuzz"));
  } catch (const scenario::ScenarioError& error) {
    CheckError(error, text);
  }
  return 0;
}
