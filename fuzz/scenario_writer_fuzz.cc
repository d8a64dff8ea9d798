// SPDX-License-Identifier: Apache-2.0
// WriteScenario on every scenario the parser accepts: it must finish, and what it writes
// must read back as a scenario that behaves the same (the same terminal, the same reports,
// notes, unplugs, plugs and faults at the same times) and that is written as the same text
// again. A scenario whose repeat blocks expand past the file limit comes out longer than
// a file may be; it is written, but not read back.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_checks.h"
#include "usborva/scenario.h"
#include "usborva/scenario_writer.h"
#include "usborva_test/scenario_behaviour.h"

namespace {

using usborva::fuzz::Require;
namespace scenario = usborva::scenario;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  scenario::Scenario parsed;
  try {
    parsed = scenario::ParseScenario(text, "fuzz");
  } catch (const scenario::ScenarioError&) {
    return 0;
  }
  const std::string written = scenario::WriteScenario(parsed);
  if (written.size() > scenario::kMaxScenarioBytes) return 0;
  scenario::Scenario back;
  try {
    back = scenario::ParseScenario(written, "written");
  } catch (const scenario::ScenarioError&) {
    Require(false);
  }
  Require(!usborva::test::TerminalDifference(parsed, back));
  Require(usborva::test::Timeline(parsed) == usborva::test::Timeline(back));
  Require(scenario::WriteScenario(back) == written);
  return 0;
}
