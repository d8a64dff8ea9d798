// SPDX-License-Identifier: Apache-2.0
// The terminal's answers to GetFeatureReport: set by the description before the run, and
// changed by the rules during it, through this one function.
#include <algorithm>

#include "usborva/scenario.h"

namespace usborva::scenario {

void ApplyModelChange(const ModelChange& change, sim::TerminalModel& model) {
  switch (change.part) {
    case ModelChange::Part::kItem:
      if (change.bytes) {
        model.items[change.id] = *change.bytes;
      } else {
        model.items.erase(change.id);
      }
      break;
    case ModelChange::Part::kConfig:
      if (change.bytes && change.bytes->size() == model.config.size()) {
        std::copy(change.bytes->begin(), change.bytes->end(), model.config.begin());
      }
      break;
    case ModelChange::Part::kFeatureReport:
      if (change.bytes) model.fixed_reports[change.id] = *change.bytes;
      break;
  }
}

}  // namespace usborva::scenario
