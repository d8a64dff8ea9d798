// SPDX-License-Identifier: Apache-2.0
// A host's event handling rehearsed against a scenario in one call: the scenario plays in
// virtual time (no real time passes), the handler answers through the control as the
// application would, and the events come back with their times.
//
//   rehearse_example [SCENARIO]     default: examples/normal_swipe.scn
#include <iostream>

#include "usborva/rehearsal.h"

int main(int argc, char** argv) {
  const usborva::Rehearsal run = usborva::Rehearse(
      usborva::scenario::LoadScenario(argc > 1 ? argv[1] : "examples/normal_swipe.scn"),
      [](usborva::USBORVA& control, const usborva::RaisedEvent& event) {
        if (event.id != usborva::EventId::kCardDataChanged) return;
        std::cout << "card read, KSN " << usborva::StringToUtf8(control.get_DUKPTKSN()) << "\n";
      });
  for (const usborva::RehearsedEvent& event : run.events) {
    std::cout << event.at.count() << " ms " << event.name() << "\n";
  }
  return run.passed() ? 0 : 1;
}
