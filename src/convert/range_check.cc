// SPDX-License-Identifier: Apache-2.0
#include "convert/range_check.h"

#include "usborva/automation_error.h"

namespace usborva::convert::internal {

std::span<const uint8_t> CheckedRange(std::span<const uint8_t> buffer, int32_t start,
                                      int32_t count) {
  if (count < 1) return {};
  const int64_t end = int64_t{start} + count;  // cannot overflow in 64 bits
  if (start < 0 || end > static_cast<int64_t>(buffer.size())) {
    throw AutomationError(error::kSubscriptOutOfRange);
  }
  return buffer.subspan(static_cast<size_t>(start), static_cast<size_t>(count));
}

}  // namespace usborva::convert::internal
