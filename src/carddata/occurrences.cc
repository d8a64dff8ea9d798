// SPDX-License-Identifier: Apache-2.0
#include "carddata/occurrences.h"

#include <limits>

#include "carddata/text_primitives.h"

namespace usborva::carddata {

std::optional<std::vector<int64_t>> FindOccurrences(char16_t ch, std::u16string_view text) {
  constexpr size_t kMaxEntries = std::numeric_limits<int16_t>::max() - 1;
  std::vector<int64_t> entries;
  int64_t p = *SearchChar(text, 1, ch);
  entries.push_back(p);
  while (p != 0) {
    p = *SearchChar(text, entries.back() + 1, ch);
    if (p == 0) break;
    if (entries.size() >= kMaxEntries) return std::nullopt;
    entries.push_back(p);
  }
  return entries;
}

}  // namespace usborva::carddata
