// SPDX-License-Identifier: Apache-2.0
#include "host/scenario_switch.h"

#include <cstdlib>

#ifndef USBORVA_SCENARIO_SWITCH
#error "the build says whether the scenario switch is in (USBORVA_SCENARIO_SWITCH=1 or 0)"
#endif

namespace usborva::host {

#if USBORVA_SCENARIO_SWITCH

std::optional<ScenarioSwitch> ReadScenarioSwitch() {
  const char* path = std::getenv("USBORVA_SCENARIO");
  if (path == nullptr || *path == '\0') return std::nullopt;
  return ScenarioSwitch{path, std::string("USBORVA_SCENARIO: ") + path +
                                  " plays on a simulated terminal in place of the HID stack"};
}

#else

std::optional<ScenarioSwitch> ReadScenarioSwitch() { return std::nullopt; }

#endif

}  // namespace usborva::host
