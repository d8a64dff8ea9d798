// SPDX-License-Identifier: Apache-2.0
#include "platform/simulated/terminal_model.h"

#include <algorithm>
#include <string_view>

namespace usborva::sim {
namespace {

std::vector<uint8_t> Bytes(std::string_view text, bool terminated) {
  std::vector<uint8_t> bytes(text.begin(), text.end());
  if (terminated) bytes.push_back(0);
  return bytes;
}

}  // namespace

TerminalModel TerminalModel::Default() {
  TerminalModel terminal;
  terminal.items[kInfoAuthLabel] = Bytes("AUTH01", false);
  terminal.items[kInfoPINKSN] = Bytes("FFFF9876543210E00001", false);
  terminal.items[kInfoMSRKSN] = Bytes("FFFF9876543210E00002", false);
  terminal.items[kInfoPINLabel] = Bytes("PIN:", true);
  terminal.items[kInfoMSRLabel] = Bytes("MSR:", true);
  terminal.items[kInfoBitmapCRC] = {0x12, 0x34, 0x56, 0x78};
  terminal.config = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
  return terminal;
}

std::optional<std::vector<uint8_t>> AnswerGetFeature(const TerminalModel& terminal,
                                                     uint8_t report_id, size_t length) {
  std::vector<uint8_t> report(length, 0);
  auto put = [&report](size_t offset, std::span<const uint8_t> bytes) {
    if (offset >= report.size()) return;
    size_t n = std::min(bytes.size(), report.size() - offset);
    std::copy_n(bytes.begin(), n, report.begin() + static_cast<std::ptrdiff_t>(offset));
  };
  if (auto fixed = terminal.fixed_reports.find(report_id); fixed != terminal.fixed_reports.end()) {
    put(0, fixed->second);
    return report;
  }
  if (report_id == kFeatureInfo) {
    auto item = terminal.items.find(terminal.selected_item);
    std::span<const uint8_t> data;
    if (item != terminal.items.end()) data = item->second;
    uint8_t n = static_cast<uint8_t>(std::min<size_t>(data.size(), 255));
    const uint8_t header[] = {kFeatureInfo, terminal.selected_item, 0x00, n};
    put(0, header);
    put(4, data.first(n));
    return report;
  }
  if (report_id == kFeatureConfig) {
    put(0, std::span<const uint8_t>(&report_id, 1));
    put(1, terminal.config);
    return report;
  }
  return std::nullopt;
}

void ApplySetFeature(TerminalModel& terminal, std::span<const uint8_t> report) {
  if (report.size() >= 2 && report[0] == kFeatureInfo) terminal.selected_item = report[1];
}

}  // namespace usborva::sim
