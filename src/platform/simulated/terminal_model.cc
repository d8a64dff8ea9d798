// SPDX-License-Identifier: Apache-2.0
#include "platform/simulated/terminal_model.h"

#include <algorithm>
#include <string_view>

namespace usborva::sim {
namespace {

// The model keeps exactly the configuration bytes report 0x09 carries.
static_assert(std::tuple_size_v<decltype(TerminalModel::config)> == protocol::kConfigLength);

std::vector<uint8_t> Bytes(std::string_view text, bool terminated) {
  std::vector<uint8_t> bytes(text.begin(), text.end());
  if (terminated) bytes.push_back(0);
  return bytes;
}

}  // namespace

TerminalModel TerminalModel::Default() {
  TerminalModel terminal;
  terminal.items[protocol::kInfoAuthLabel] = Bytes("AUTH01", false);
  terminal.items[protocol::kInfoPINKSN] = Bytes("FFFF9876543210E00001", false);
  terminal.items[protocol::kInfoMSRKSN] = Bytes("FFFF9876543210E00002", false);
  terminal.items[protocol::kInfoPINLabel] = Bytes("PIN:", true);
  terminal.items[protocol::kInfoMSRLabel] = Bytes("MSR:", true);
  terminal.items[protocol::kInfoBitmapCRC] = {0x12, 0x34, 0x56, 0x78};
  terminal.config = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
  return terminal;
}

std::optional<std::vector<uint8_t>> AnswerGetFeature(const TerminalModel& terminal,
                                                     uint8_t report_id, size_t length) {
  std::vector<uint8_t> report(length, 0);
  if (auto fixed = terminal.fixed_reports.find(report_id); fixed != terminal.fixed_reports.end()) {
    std::copy_n(fixed->second.begin(), std::min(fixed->second.size(), report.size()),
                report.begin());
    return report;
  }
  if (report_id == protocol::kFeatureInfo) {
    auto item = terminal.items.find(terminal.selected_item);
    std::span<const uint8_t> data;
    if (item != terminal.items.end()) data = item->second;
    protocol::WriteInfoAnswer(report, terminal.selected_item, data);
    return report;
  }
  if (report_id == protocol::kFeatureConfig) {
    protocol::WriteConfigAnswer(report, terminal.config);
    return report;
  }
  return std::nullopt;
}

void ApplySetFeature(TerminalModel& terminal, std::span<const uint8_t> report) {
  if (report.size() > protocol::kInfoItemOffset && report[0] == protocol::kFeatureInfo) {
    terminal.selected_item = report[protocol::kInfoItemOffset];
  }
}

}  // namespace usborva::sim
