// SPDX-License-Identifier: Apache-2.0
// The COMMAND of `send`: any bytes are either counted as hexadecimal bytes or refused with
// a short message that holds no card number and no control character.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "args.h"
#include "fuzz_checks.h"
#include "hex_command.h"
#include "usborva/text_guard.h"

namespace {

using usborva::fuzz::EscapesAsBlanks;
using usborva::fuzz::Require;

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
