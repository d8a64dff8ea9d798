// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_CARDDATA_ELEMENT_COUNT_H_
#define USBORVA_CARDDATA_ELEMENT_COUNT_H_

#include <cstdint>
#include <optional>
#include <string_view>

namespace usborva::carddata {

// The element length that NumDigits spells, when it spells one: apart from U+0020 blanks
// around it, an optional "+" or "-" followed by one or more ASCII decimal digits and
// nothing else. Any other text (empty, blanks only, a decimal point, an exponent, a hex
// prefix, group separators) is a terminator instead and gives an empty optional. A count
// too large for a Long comes back beyond Long range so the caller can fail on it; the
// magnitude is capped just past that range, so any digit string is safe.
std::optional<int64_t> ParseElementCount(std::u16string_view NumDigits);

}  // namespace usborva::carddata

#endif  // USBORVA_CARDDATA_ELEMENT_COUNT_H_
