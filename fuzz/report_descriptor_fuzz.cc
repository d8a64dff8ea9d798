// SPDX-License-Identifier: Apache-2.0
// HID report descriptors come from the device: the parser must take any bytes.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/hidraw/report_descriptor.h"

using usborva::hidraw::DescriptorCaps;
using usborva::hidraw::DescriptorStatus;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  DescriptorCaps caps;
  if (usborva::hidraw::ParseReportDescriptor(std::span<const uint8_t>(data, size), &caps) !=
      DescriptorStatus::kOk) {
    return 0;
  }
  const uint16_t lengths[3] = {caps.InputReportByteLength, caps.OutputReportByteLength,
                               caps.FeatureReportByteLength};
  for (int kind = 0; kind < 3; ++kind) {
    // A length is within a HID buffer, and there exactly when a report of its kind is.
    if (lengths[kind] > usborva::hidraw::kMaxReportBytes) __builtin_trap();
    if ((lengths[kind] == 0) != caps.report_ids[kind].none()) __builtin_trap();
    if (lengths[kind] == 1) __builtin_trap();  // a report has at least one bit
    // An unnumbered device has report 0 only.
    if (!caps.numbered &&
        caps.report_ids[kind].count() > (caps.report_ids[kind].test(0) ? 1u : 0u)) {
      __builtin_trap();
    }
  }
  return 0;
}
