// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_CONVERT_RANGE_CHECK_H_
#define USBORVA_CONVERT_RANGE_CHECK_H_

#include <cstdint>
#include <span>

namespace usborva::convert::internal {

// The bytes of [start, start + count) in buffer; empty for a count below 1 whatever the
// start. An index outside the buffer throws subscript out of range (9) before anything is
// read, so a caller never sees part of a conversion.
std::span<const uint8_t> CheckedRange(std::span<const uint8_t> buffer, int32_t start,
                                      int32_t count);

}  // namespace usborva::convert::internal

#endif  // USBORVA_CONVERT_RANGE_CHECK_H_
