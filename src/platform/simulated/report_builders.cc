// SPDX-License-Identifier: Apache-2.0
#include <algorithm>
#include <initializer_list>

#include "usborva/simulated_hid_system.h"

namespace usborva::sim {
namespace {

// A zero report of length bytes with bytes placed from offset on, cut at the end.
void Put(Report& report, size_t offset, std::span<const uint8_t> bytes, size_t count) {
  for (size_t i = 0; i < count && offset + i < report.size(); ++i) {
    report[offset + i] = i < bytes.size() ? bytes[i] : 0;
  }
}

Report Fields(std::initializer_list<uint8_t> fields, size_t length) {
  Report report(length, 0);
  Put(report, 0, std::span<const uint8_t>(fields.begin(), fields.size()), fields.size());
  return report;
}

}  // namespace

Report DeviceStatus(uint8_t device_state, uint8_t session_status, uint8_t device_status,
                    size_t length) {
  return Fields({protocol::kReportDeviceStatus, device_state, session_status, device_status},
                length);
}

Report CardStatus(uint8_t op_status, uint8_t card_status, uint8_t card_type, size_t length) {
  return Fields({protocol::kReportCardStatus, op_status, card_status, card_type}, length);
}

Report CardDataItem(uint8_t type, uint8_t status, std::span<const uint8_t> data, size_t length) {
  size_t n = std::min(data.size(), protocol::kCardItemMaxData);
  Report report =
      Fields({protocol::kReportCardData, type, status, static_cast<uint8_t>(n)}, length);
  Put(report, protocol::kCardItemDataOffset, data, n);
  return report;
}

Report CardDataItem(uint8_t type, std::string_view text, size_t length) {
  std::vector<uint8_t> bytes(text.begin(), text.end());
  return CardDataItem(type, 0, bytes, length);
}

Report CardDataEnd(uint8_t status, std::span<const uint8_t> ksn10,
                   std::span<const uint8_t> sigil_status4, size_t length) {
  Report report = Fields({protocol::kReportCardData, protocol::kCardItemEnd, status, 0}, length);
  Put(report, protocol::kCardEndKsnOffset, ksn10, protocol::kKsnLength);
  Put(report, protocol::kSigilStatusOffset, sigil_status4, protocol::kSigilStatusLength);
  return report;
}

std::array<uint8_t, 4> SigilStatusBytes(uint32_t value) {
  return protocol::SigilStatusBytes(value);
}

Report PINResponse(uint8_t op_status, std::span<const uint8_t> ksn10, std::span<const uint8_t> epb8,
                   size_t length) {
  Report report = Fields({protocol::kReportPINResponse, op_status}, length);
  Put(report, protocol::kPINKsnOffset, ksn10, protocol::kKsnLength);
  Put(report, protocol::kPINBlockOffset, epb8, protocol::kPINBlockLength);
  return report;
}

Report SelectResponse(uint8_t op_status, uint8_t key_pressed, size_t length) {
  return Fields({protocol::kReportSelectResponse, op_status, key_pressed}, length);
}

Report DisplayDone(uint8_t display_status, size_t length) {
  return Fields({protocol::kReportDisplayDone, display_status}, length);
}

}  // namespace usborva::sim
