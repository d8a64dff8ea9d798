// SPDX-License-Identifier: Apache-2.0
// Whether the environment names a scenario for the simulated terminal. The one place that
// reads the variable: a build configured with -DUSBORVA_SCENARIO_SWITCH=OFF compiles this
// file without it, and the variable's name is then nowhere in the library.
#ifndef USBORVA_HOST_SCENARIO_SWITCH_H_
#define USBORVA_HOST_SCENARIO_SWITCH_H_

#include <optional>
#include <string>

namespace usborva::host {

// The scenario the environment names, and the line that says so on the debug channel.
struct ScenarioSwitch {
  std::string path;
  std::string notice;
};

// nullopt when the variable is unset or empty, and always in a build without the switch.
std::optional<ScenarioSwitch> ReadScenarioSwitch();

}  // namespace usborva::host

#endif  // USBORVA_HOST_SCENARIO_SWITCH_H_
