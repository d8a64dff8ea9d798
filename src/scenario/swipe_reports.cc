// SPDX-License-Identifier: Apache-2.0
// A swipe, given by meaning, sent as the terminal sends one: the card status, the seven
// card-data items (empty ones for what the swipe leaves out), and the closing item with the
// KSN and the sigil status, or with an error status.
#include <algorithm>

#include "usborva/hex_digits.h"
#include "usborva/scenario.h"

namespace usborva::scenario {

std::vector<uint8_t> TerminalKsn(const sim::TerminalModel& terminal, uint8_t item) {
  std::vector<uint8_t> ksn(protocol::kKsnLength, 0);
  auto found = terminal.items.find(item);
  if (found == terminal.items.end() || found->second.size() != 2 * protocol::kKsnLength) {
    return ksn;
  }
  for (size_t i = 0; i < ksn.size(); ++i) {
    const int high = HexDigitValue(static_cast<char>(found->second[2 * i]));
    const int low = HexDigitValue(static_cast<char>(found->second[2 * i + 1]));
    if (high < 0 || low < 0) return std::vector<uint8_t>(protocol::kKsnLength, 0);
    ksn[i] = static_cast<uint8_t>(high << 4 | low);
  }
  return ksn;
}

std::vector<sim::Report> SwipeReports(const SwipeFields& fields,
                                      const sim::InterfaceSpec& terminal) {
  const size_t length = static_cast<size_t>(std::max<int16_t>(terminal.input_report_length, 1));
  const std::vector<uint8_t> ksn =
      fields.ksn.empty() ? TerminalKsn(terminal.terminal, protocol::kInfoMSRKSN) : fields.ksn;
  std::vector<sim::Report> reports;
  reports.reserve(fields.items.size() + 2);
  reports.push_back(
      sim::CardStatus(fields.card_status[0], fields.card_status[1], fields.card_status[2], length));
  for (uint8_t type = protocol::kCardItemTrack1; type <= protocol::kCardItemSigil; ++type) {
    reports.push_back(
        sim::CardDataItem(type, 0, fields.items[type - protocol::kCardItemTrack1], length));
  }
  reports.push_back(
      sim::CardDataEnd(fields.error, ksn, sim::SigilStatusBytes(fields.sigil_status), length));
  return reports;
}

}  // namespace usborva::scenario
