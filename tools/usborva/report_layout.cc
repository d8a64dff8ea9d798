// SPDX-License-Identifier: Apache-2.0
#include "report_layout.h"

#include <cstdint>
#include <vector>

#include "usborva/hex_digits.h"

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

std::string HexBytes(const std::vector<uint8_t>& bytes, size_t begin, size_t end) {
  std::string text;
  for (size_t i = begin; i < end && i < bytes.size(); ++i) {
    if (!text.empty()) text += ' ';
    AppendHexByte(text, bytes[i]);
  }
  return text;
}

}  // namespace

std::optional<DecodedOutput> DecodeOutPutData(std::string_view hex) {
  const std::optional<std::vector<uint8_t>> bytes = ParseHex(hex);
  if (!bytes || bytes->empty()) return std::nullopt;
  if ((*bytes)[0] == 0x0E && bytes->size() >= 4) {
    const size_t length = (*bytes)[3];
    return DecodedOutput{"Data", HexBytes(*bytes, 4, 4 + length)};
  }
  if ((*bytes)[0] == 0x09 && bytes->size() >= 2) {
    return DecodedOutput{"Configuration", HexBytes(*bytes, 1, 9)};
  }
  return std::nullopt;
}

bool IsItemReport(std::string_view command) {
  const std::optional<std::vector<uint8_t>> bytes = ParseHex(command);
  return bytes && !bytes->empty() && (*bytes)[0] == 0x0E;
}

}  // namespace usborva::cli
