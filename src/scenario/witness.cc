// SPDX-License-Identifier: Apache-2.0
#include "scenario/witness.h"

#include <algorithm>

#include "usborva/hex_digits.h"

namespace usborva::scenario {
namespace {

std::string Who(Expectation::Kind kind) {
  return kind == Expectation::Kind::kSetFeature ? "the host sent " : "the control raised ";
}

}  // namespace

std::string ShownReport(std::span<const uint8_t> report, size_t pattern_size) {
  size_t length = report.size();
  while (length > 0 && report[length - 1] == 0) --length;
  length = std::min(std::max({length, pattern_size, size_t{1}}), report.size());
  std::string shown;
  for (size_t i = 0; i < length && i < kShownReportBytes; ++i) {
    if (i > 0) shown += ' ';
    AppendHexByte(shown, report[i]);
  }
  if (length > kShownReportBytes) shown += " ...";
  return shown;
}

std::string ShownEvent(const RaisedEvent& event) {
  std::string shown(EventName(event.id));
  for (size_t i = 0; i < event.byte_count && i < event.bytes.size(); ++i) {
    shown += ' ' + std::to_string(event.bytes[i]);
  }
  return shown;
}

std::string NoneWitnessed(Expectation::Kind kind) { return Who(kind) + "none"; }

std::string OthersWitnessed(Expectation::Kind kind, const std::vector<std::string>& shown,
                            size_t count) {
  std::string text = Who(kind);
  for (size_t i = 0; i < shown.size(); ++i) {
    if (i > 0) text += i + 1 == shown.size() && count == shown.size() ? " and " : ", ";
    text += shown[i];
  }
  if (count > shown.size()) text += " and " + std::to_string(count - shown.size()) + " more";
  return text + " instead";
}

}  // namespace usborva::scenario
