// SPDX-License-Identifier: Apache-2.0
#include "report_layout.h"

#include <cstdint>
#include <span>
#include <vector>

#include "usborva/hex_digits.h"
#include "usborva/protocol.h"

namespace usborva::cli {
namespace {

// The bytes of hexadecimal text with blanks anywhere; nullopt for anything else.
std::optional<std::vector<uint8_t>> ParseHex(std::string_view hex) {
  std::vector<uint8_t> bytes;
  int high = -1;
  for (char c : hex) {
    if (c == ' ') continue;
    const int digit = HexDigitValue(c);
    if (digit < 0) return std::nullopt;
    if (high < 0) {
      high = digit;
    } else {
      bytes.push_back(static_cast<uint8_t>(high * 16 + digit));
      high = -1;
    }
  }
  if (high >= 0) bytes.push_back(static_cast<uint8_t>(high));
  return bytes;
}

std::string HexBytes(std::span<const uint8_t> bytes) {
  std::string text;
  for (uint8_t byte : bytes) {
    if (!text.empty()) text += ' ';
    AppendHexByte(text, byte);
  }
  return text;
}

}  // namespace

std::optional<DecodedOutput> DecodeOutPutData(std::string_view hex) {
  const std::optional<std::vector<uint8_t>> bytes = ParseHex(hex);
  if (!bytes) return std::nullopt;
  if (const auto data = protocol::InfoAnswerData(*bytes)) {
    return DecodedOutput{"Data", HexBytes(*data)};
  }
  if (const auto config = protocol::ConfigAnswerBytes(*bytes)) {
    return DecodedOutput{"Configuration", HexBytes(*config)};
  }
  return std::nullopt;
}

bool IsItemReport(std::string_view command) {
  const std::optional<std::vector<uint8_t>> bytes = ParseHex(command);
  return bytes && !bytes->empty() && (*bytes)[0] == protocol::kFeatureInfo;
}

}  // namespace usborva::cli
