// SPDX-License-Identifier: Apache-2.0
#include "carddata/element_count.h"

namespace usborva::carddata {

std::optional<int64_t> ParseElementCount(std::u16string_view NumDigits) {
  // Larger than any Long in magnitude, small enough that one more digit cannot overflow.
  constexpr int64_t kCap = int64_t{1} << 32;
  const size_t first = NumDigits.find_first_not_of(u' ');
  if (first == std::u16string_view::npos) return std::nullopt;
  const size_t last = NumDigits.find_last_not_of(u' ');
  std::u16string_view body = NumDigits.substr(first, last - first + 1);
  bool negative = false;
  if (body.front() == u'+' || body.front() == u'-') {
    negative = body.front() == u'-';
    body.remove_prefix(1);
  }
  if (body.empty()) return std::nullopt;
  int64_t magnitude = 0;
  for (const char16_t ch : body) {
    if (ch < u'0' || ch > u'9') return std::nullopt;
    magnitude = magnitude * 10 + (ch - u'0');
    if (magnitude > kCap) magnitude = kCap;
  }
  return negative ? -magnitude : magnitude;
}

}  // namespace usborva::carddata
