// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_PLATFORM_HIDRAW_REPORT_DESCRIPTOR_H_
#define USBORVA_PLATFORM_HIDRAW_REPORT_DESCRIPTOR_H_

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <span>

namespace usborva::hidraw {

// Why a report descriptor could not be read. The kernel refuses to bind a device whose
// descriptor is malformed in these ways, so a live node should never show one.
enum class DescriptorStatus {
  kOk,
  kEmpty,                 // no bytes at all
  kTruncatedItem,         // an item's data runs past the end
  kInvalidReportId,       // Report ID 0 or above 255
  kGlobalStackOverflow,   // Push nested too deep
  kPopWithoutPush,        // Pop with nothing pushed
  kUnbalancedCollection,  // End Collection without Collection, or Collection left open
  kReportTooLong,         // a report beyond what a HID buffer can hold
};

// Report kinds, indexing DescriptorCaps' per-kind fields.
enum class ReportKind { kInput = 0, kOutput = 1, kFeature = 2 };
// The size of every per-kind array: kFeature is the last kind.
inline constexpr size_t kReportKindCount = static_cast<size_t>(ReportKind::kFeature) + 1;

// What the capability query of the HID stack reports for a device, computed from its report
// descriptor: each length is the largest report of that kind in bytes plus one byte for the
// report ID (present, as 0, even when the device does not number its reports), 0 when the
// device has no report of that kind.
struct DescriptorCaps {
  uint16_t UsagePage = 0;  // of the first top-level collection
  uint16_t Usage = 0;
  bool numbered = false;  // any Report ID item: byte 0 of every report is its ID
  uint16_t InputReportByteLength = 0;
  uint16_t OutputReportByteLength = 0;
  uint16_t FeatureReportByteLength = 0;
  // Report IDs that carry at least one bit of each kind (ID 0 for an unnumbered device).
  std::bitset<256> report_ids[kReportKindCount];
};

// The largest report length we accept, report ID byte included (the kernel's HID buffer).
inline constexpr uint32_t kMaxReportBytes = 16384;

// Parses descriptor. On kOk, caps is filled; otherwise caps is not changed.
// The lengths are taken over the whole descriptor: hidraw shows the whole interface, where
// Windows splits it into one device per top-level collection.
DescriptorStatus ParseReportDescriptor(std::span<const uint8_t> descriptor, DescriptorCaps* caps);

const char* DescriptorStatusName(DescriptorStatus status);

}  // namespace usborva::hidraw

#endif  // USBORVA_PLATFORM_HIDRAW_REPORT_DESCRIPTOR_H_
