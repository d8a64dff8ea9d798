// SPDX-License-Identifier: Apache-2.0
// Reports back into lines. A line is written as a directive only when the directive, read
// back on this terminal, builds the very bytes of the report; anything else is a raw
// `report`, so no report changes on its way through the text.
#include "scenario/report_lines.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "scenario/scenario_text.h"
#include "usborva/protocol.h"

namespace usborva::scenario {
namespace {

using sim::Report;

// A swipe is the card status, the seven data items and the end item.
constexpr size_t kSwipeReports = protocol::kCardDataItemCount + 2;
// A swipe longer than this is written one field per continuation line.
constexpr size_t kLongLine = 96;

uint8_t At(const Report& report, size_t index) { return index < report.size() ? report[index] : 0; }

// count bytes from offset, zero where the report ends first.
std::vector<uint8_t> Slice(const Report& report, size_t offset, size_t count) {
  std::vector<uint8_t> bytes(count, 0);
  for (size_t i = 0; i < count; ++i) bytes[i] = At(report, offset + i);
  return bytes;
}

std::string Numbers(std::initializer_list<uint8_t> values) {
  std::string text;
  for (uint8_t value : values) text += " " + std::to_string(value);
  return text;
}

std::optional<std::string> DirectiveLine(const Report& report, size_t length) {
  const uint8_t a = At(report, 1);
  const uint8_t b = At(report, 2);
  const uint8_t c = At(report, 3);
  switch (At(report, 0)) {
    case protocol::kReportDeviceStatus:
      if (sim::DeviceStatus(a, b, c, length) == report) return "device-status" + Numbers({a, b, c});
      break;
    case protocol::kReportCardStatus:
      if (sim::CardStatus(a, b, c, length) == report) return "card-status" + Numbers({a, b, c});
      break;
    case protocol::kReportPINResponse: {
      const std::vector<uint8_t> ksn = Slice(report, protocol::kPINKsnOffset, protocol::kKsnLength);
      const std::vector<uint8_t> epb =
          Slice(report, protocol::kPINBlockOffset, protocol::kPINBlockLength);
      if (sim::PINResponse(a, ksn, epb, length) == report) {
        return "pin-response" + Numbers({a}) + " " + HexText(ksn) + " " + HexText(epb);
      }
      break;
    }
    case protocol::kReportSelectResponse:
      if (sim::SelectResponse(a, b, length) == report) return "select-response" + Numbers({a, b});
      break;
    case protocol::kReportDisplayDone:
      if (sim::DisplayDone(a, length) == report) return "display-done" + Numbers({a});
      break;
    default:
      break;
  }
  return std::nullopt;
}

std::string RawLine(const Report& report) {
  size_t end = report.size();
  while (end > 1 && report[end - 1] == 0) --end;
  if (end == 0) return "report 00";
  return "report " + HexText(std::span<const uint8_t>(report).first(end));
}

// The fields of a swipe, read from its reports; nullopt when they are not shaped as one.
struct SwipeParts {
  std::array<uint8_t, 3> card_status{};
  std::array<std::vector<uint8_t>, protocol::kCardDataItemCount> items;
  uint8_t error = 0;
  std::vector<uint8_t> ksn;
  uint32_t sigil_status = 0;
};

std::optional<SwipeParts> ReadSwipe(std::span<const Report> reports, size_t length) {
  SwipeParts parts;
  if (At(reports[0], 0) != protocol::kReportCardStatus) return std::nullopt;
  parts.card_status = {At(reports[0], 1), At(reports[0], 2), At(reports[0], 3)};
  for (size_t k = 0; k < protocol::kCardDataItemCount; ++k) {
    const Report& item = reports[k + 1];
    const size_t n = At(item, protocol::kCardItemLengthOffset);
    if (At(item, 0) != protocol::kReportCardData ||
        At(item, protocol::kCardItemTypeOffset) != protocol::kCardItemTrack1 + k ||
        protocol::kCardItemDataOffset + n > length) {
      return std::nullopt;
    }
    parts.items[k] = Slice(item, protocol::kCardItemDataOffset, n);
  }
  const Report& end = reports[kSwipeReports - 1];
  if (At(end, 0) != protocol::kReportCardData ||
      At(end, protocol::kCardItemTypeOffset) != protocol::kCardItemEnd) {
    return std::nullopt;
  }
  parts.error = At(end, protocol::kCardItemStatusOffset);
  parts.ksn = Slice(end, protocol::kCardEndKsnOffset, protocol::kKsnLength);
  const std::vector<uint8_t> sigil =
      Slice(end, protocol::kSigilStatusOffset, protocol::kSigilStatusLength);
  const std::optional<int32_t> value = protocol::SigilStatusValue(sigil);
  if (!value || *value < 0) return std::nullopt;
  parts.sigil_status = static_cast<uint32_t>(*value);
  return parts;
}

// Whether the swipe directive builds exactly these reports from the parts.
bool Rebuilds(const SwipeParts& parts, std::span<const Report> reports, size_t length) {
  std::vector<Report> built;
  built.push_back(
      sim::CardStatus(parts.card_status[0], parts.card_status[1], parts.card_status[2], length));
  for (size_t k = 0; k < protocol::kCardDataItemCount; ++k) {
    built.push_back(sim::CardDataItem(static_cast<uint8_t>(protocol::kCardItemTrack1 + k), 0,
                                      parts.items[k], length));
  }
  built.push_back(
      sim::CardDataEnd(parts.error, parts.ksn, sim::SigilStatusBytes(parts.sigil_status), length));
  return std::equal(built.begin(), built.end(), reports.begin(), reports.end());
}

constexpr std::string_view kItemFields[protocol::kCardDataItemCount] = {
    "track1", "track2", "track3", "enc-track1", "enc-track2", "enc-track3", "sigil"};

std::optional<std::string> SwipeLine(std::span<const Report> reports, size_t length) {
  const std::optional<SwipeParts> parts = ReadSwipe(reports, length);
  if (!parts || !Rebuilds(*parts, reports, length)) return std::nullopt;
  std::vector<std::string> fields;
  for (size_t k = 0; k < protocol::kCardDataItemCount; ++k) {
    if (parts->items[k].empty()) continue;
    std::string value;
    if (protocol::IsTrackTextItem(static_cast<uint8_t>(protocol::kCardItemTrack1 + k))) {
      std::optional<std::string> text = QuoteCardText(parts->items[k]);
      if (!text) return std::nullopt;
      value = std::move(*text);
    } else {
      value = HexText(parts->items[k]);
    }
    fields.push_back(std::string(kItemFields[k]) + " " + value);
  }
  fields.push_back("ksn " + HexText(parts->ksn));
  if (parts->sigil_status != 0)
    fields.push_back("sigil-status " + std::to_string(parts->sigil_status));
  if (parts->error != 0) fields.push_back("error " + std::to_string(parts->error));
  const auto& [op, card, type] = parts->card_status;
  if (op != 0 || card != 0 || type != 0)
    fields.push_back("card-status" + Numbers({op, card, type}));
  size_t total = 0;
  for (const std::string& field : fields) total += field.size() + 1;
  const std::string separator = total > kLongLine ? " \\\n      " : " ";
  std::string line = "swipe";
  for (size_t i = 0; i < fields.size(); ++i) line += (i == 0 ? " " : separator) + fields[i];
  return line;
}

}  // namespace

std::string ReportLines(std::span<const Report> reports, size_t input_length) {
  std::string text;
  for (size_t i = 0; i < reports.size();) {
    if (reports.size() - i >= kSwipeReports) {
      if (std::optional<std::string> swipe =
              SwipeLine(reports.subspan(i, kSwipeReports), input_length)) {
        text += *swipe + "\n";
        i += kSwipeReports;
        continue;
      }
    }
    text += DirectiveLine(reports[i], input_length).value_or(RawLine(reports[i])) + "\n";
    ++i;
  }
  return text;
}

}  // namespace usborva::scenario
