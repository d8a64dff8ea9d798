// SPDX-License-Identifier: Apache-2.0
// The COMMAND of `send`: any bytes are either counted as hexadecimal bytes or refused with
// a short message that holds no card number and no control character.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "args.h"
#include "hex_command.h"
#include "usborva/text_guard.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

// The message as a person reads it for numbers: each escape (\\xHH, \\uHHHH) as one blank,
// as the guard reads the character it stands for, so an escape's hex digits do not join
// the digits beside it.
std::string EscapesAsBlanks(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'u')) {
      i += std::min<size_t>(text[i + 1] == 'x' ? 4 : 6, text.size() - i);
      out += ' ';
      continue;
    }
    out += text[i++];
  }
  return out;
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view command(reinterpret_cast<const char*>(data), size);
  size_t digits = 0;
  bool hex = true;
  for (const char c : command) {
    if (IsHexDigit(c)) ++digits;
    hex = hex && (c == ' ' || IsHexDigit(c));
  }
  try {
    const size_t bytes = usborva::cli::CheckHexCommand(command);
    Require(hex && digits > 0 && bytes == (digits + 1) / 2);
  } catch (const usborva::cli::UsageError& error) {
    Require(!hex || digits == 0);
    const std::string_view message = error.what();
    Require(message.size() <= 200);
    Require(!usborva::HoldsCardNumber(EscapesAsBlanks(message)));
    for (const char c : message) Require(static_cast<unsigned char>(c) >= 0x20);
  }
  return 0;
}
