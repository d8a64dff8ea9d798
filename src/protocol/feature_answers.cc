// SPDX-License-Identifier: Apache-2.0
// The two feature reports the terminal answers, written by the simulated terminal and read
// back by the tool, both by the layout in protocol.h.
#include <algorithm>

#include "usborva/protocol.h"

namespace usborva::protocol {
namespace {

// Copies bytes into report from offset on, as far as the report reaches.
void Put(std::span<uint8_t> report, size_t offset, std::span<const uint8_t> bytes) {
  if (offset >= report.size()) return;
  const size_t n = std::min(bytes.size(), report.size() - offset);
  std::copy_n(bytes.begin(), n, report.begin() + static_cast<std::ptrdiff_t>(offset));
}

// bytes [begin, begin + count) of report, cut at its end.
std::span<const uint8_t> Cut(std::span<const uint8_t> report, size_t begin, size_t count) {
  if (begin >= report.size()) return {};
  return report.subspan(begin, std::min(count, report.size() - begin));
}

}  // namespace

void WriteInfoAnswer(std::span<uint8_t> report, uint8_t item, std::span<const uint8_t> data) {
  const size_t n = std::min(data.size(), kInfoMaxData);
  std::array<uint8_t, kInfoDataOffset> header{};  // byte 2 stays 0
  header[0] = kFeatureInfo;
  header[kInfoItemOffset] = item;
  header[kInfoLengthOffset] = static_cast<uint8_t>(n);
  Put(report, 0, header);
  Put(report, kInfoDataOffset, data.first(n));
}

std::optional<std::span<const uint8_t>> InfoAnswerData(std::span<const uint8_t> report) {
  if (report.size() <= kInfoLengthOffset || report[0] != kFeatureInfo) return std::nullopt;
  return Cut(report, kInfoDataOffset, report[kInfoLengthOffset]);
}

void WriteConfigAnswer(std::span<uint8_t> report, std::span<const uint8_t, kConfigLength> config) {
  const uint8_t id = kFeatureConfig;
  Put(report, 0, std::span<const uint8_t>(&id, 1));
  Put(report, kConfigOffset, config);
}

std::optional<std::span<const uint8_t>> ConfigAnswerBytes(std::span<const uint8_t> report) {
  if (report.size() <= kConfigOffset || report[0] != kFeatureConfig) return std::nullopt;
  return Cut(report, kConfigOffset, kConfigLength);
}

}  // namespace usborva::protocol
