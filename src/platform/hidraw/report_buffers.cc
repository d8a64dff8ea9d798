// SPDX-License-Identifier: Apache-2.0
#include "platform/hidraw/report_buffers.h"

#include <algorithm>
#include <cstring>

namespace usborva::hidraw {

size_t CompleteInputRead(uint8_t* buffer, uint32_t report_length, bool numbered, size_t received) {
  const size_t offset = InputReadOffset(numbered);
  if (offset != 0 && report_length > 0) buffer[0] = 0;
  // Never past the buffer, whatever count the driver claims.
  return std::min(offset + std::min(received, size_t{report_length}), size_t{report_length});
}

void CompleteFeatureAnswer(uint8_t* report, uint32_t length, long count, bool unnumbered) {
  // The kernel copies only what the device answered; the rest would be stale command bytes.
  const uint32_t answered =
      count <= 0 ? 0u : static_cast<uint32_t>(std::min<unsigned long>(count, length));
  std::memset(report + answered, 0, length - answered);
  if (unnumbered && length > 0) report[0] = 0;
}

}  // namespace usborva::hidraw
