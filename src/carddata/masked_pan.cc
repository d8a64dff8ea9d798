// SPDX-License-Identifier: Apache-2.0
#include <algorithm>
#include <string_view>

#include "usborva/card_view.h"

namespace usborva {

String MaskedPan(std::u16string_view pan) {
  constexpr size_t kLead = 6;
  constexpr size_t kTrail = 4;
  // Showing six and four must still leave at least three characters hidden.
  constexpr size_t kMinForLead = kLead + kTrail + 3;
  const size_t size = pan.size();
  const size_t lead = size >= kMinForLead ? kLead : 0;
  const size_t trail = size >= kMinForLead ? kTrail : std::min(kTrail, size / 2);
  String masked(pan);
  for (size_t i = lead; i < size - trail; ++i) masked[i] = u'*';
  return masked;
}

}  // namespace usborva
