// SPDX-License-Identifier: Apache-2.0
#include "usborva/scenario.h"

namespace usborva::scenario {

bool MatchesPattern(const BytePattern& pattern, std::span<const uint8_t> bytes) {
  if (pattern.size() > bytes.size()) return false;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] && *pattern[i] != bytes[i]) return false;
  }
  return true;
}

}  // namespace usborva::scenario
