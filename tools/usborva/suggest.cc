// SPDX-License-Identifier: Apache-2.0
#include "suggest.h"

#include "scenario/edit_distance.h"

namespace usborva::cli {

std::string DidYouMean(std::string_view typed, std::span<const std::string_view> candidates,
                       std::string_view prefix) {
  // A mistyped token can be as long as the command line: past this, nothing is close.
  constexpr size_t kLongestWord = 64;
  if (typed.empty() || typed.size() > kLongestWord) return "";
  std::string_view best;
  size_t best_distance = 3;
  for (std::string_view candidate : candidates) {
    const size_t distance = scenario::EditDistance(typed, candidate);
    if (distance < best_distance) {
      best = candidate;
      best_distance = distance;
    }
  }
  if (best.empty()) return "";
  return "; did you mean '" + std::string(prefix) + std::string(best) + "'?";
}

}  // namespace usborva::cli
