// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_SCENARIO_EDIT_DISTANCE_H_
#define USBORVA_SCENARIO_EDIT_DISTANCE_H_

#include <cstddef>
#include <string_view>

namespace usborva::scenario {

// The number of single-character insertions, deletions and substitutions between a and b
// (Levenshtein). Behind every "did you mean" the scenario reader and the tool print; costs
// a.size() * b.size() steps, so callers compare words, not whole lines.
size_t EditDistance(std::string_view a, std::string_view b);

}  // namespace usborva::scenario

#endif  // USBORVA_SCENARIO_EDIT_DISTANCE_H_
