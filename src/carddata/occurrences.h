// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_CARDDATA_OCCURRENCES_H_
#define USBORVA_CARDDATA_OCCURRENCES_H_

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace usborva::carddata {

// Every 1-based position of ch in text, in increasing order; entry n of the list is
// element n - 1 of the vector. A character that does not occur gives the one entry 0.
// The entry index is an Integer, so 32,767 occurrences or more fail (empty optional).
std::optional<std::vector<int64_t>> FindOccurrences(char16_t ch, std::u16string_view text);

}  // namespace usborva::carddata

#endif  // USBORVA_CARDDATA_OCCURRENCES_H_
