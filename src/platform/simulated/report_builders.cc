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
  return Fields({kReportDeviceStatus, device_state, session_status, device_status}, length);
}

Report CardStatus(uint8_t op_status, uint8_t card_status, uint8_t card_type, size_t length) {
  return Fields({kReportCardStatus, op_status, card_status, card_type}, length);
}

Report CardDataItem(uint8_t type, uint8_t status, std::span<const uint8_t> data, size_t length) {
  size_t n = std::min<size_t>(data.size(), 255);
  Report report = Fields({kReportCardData, type, status, static_cast<uint8_t>(n)}, length);
  Put(report, 4, data, n);
  return report;
}

Report CardDataItem(uint8_t type, std::string_view text, size_t length) {
  std::vector<uint8_t> bytes(text.begin(), text.end());
  return CardDataItem(type, 0, bytes, length);
}

Report CardDataEnd(uint8_t status, std::span<const uint8_t> ksn10,
                   std::span<const uint8_t> sigil_status4, size_t length) {
  Report report = Fields({kReportCardData, kCardItemEnd, status, 0}, length);
  Put(report, 4, ksn10, 10);
  Put(report, 14, sigil_status4, 4);
  return report;
}

std::array<uint8_t, 4> SigilStatusBytes(uint32_t value) {
  // Each byte holds two decimal digits, so the hex text reads as the decimal number.
  std::array<uint8_t, 4> bytes{};
  for (int i = 3; i >= 0; --i) {
    uint32_t low = value % 10;
    value /= 10;
    uint32_t high = value % 10;
    value /= 10;
    bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(high << 4 | low);
  }
  return bytes;
}

Report PINResponse(uint8_t op_status, std::span<const uint8_t> ksn10, std::span<const uint8_t> epb8,
                   size_t length) {
  Report report = Fields({kReportPINResponse, op_status}, length);
  Put(report, 2, ksn10, 10);
  Put(report, 12, epb8, 8);
  return report;
}

Report SelectResponse(uint8_t op_status, uint8_t key_pressed, size_t length) {
  return Fields({kReportSelectResponse, op_status, key_pressed}, length);
}

Report DisplayDone(uint8_t display_status, size_t length) {
  return Fields({kReportDisplayDone, display_status}, length);
}

}  // namespace usborva::sim
