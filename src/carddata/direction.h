// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_CARDDATA_DIRECTION_H_
#define USBORVA_CARDDATA_DIRECTION_H_

#include "usborva/variant.h"

namespace usborva::carddata {

// Whether a DirectionBack argument equals True (-1), which makes the element search go
// backward. A Boolean counts by its value and a number only when it is exactly -1 (so a
// Byte never does). Any other subtype goes through the standard Boolean conversion, and
// one that has no Boolean form (Null, a Byte array, text that is neither a number nor
// "True"/"False") means forward. Never throws.
bool IsDirectionBack(const Variant& DirectionBack);

}  // namespace usborva::carddata

#endif  // USBORVA_CARDDATA_DIRECTION_H_
