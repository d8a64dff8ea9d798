// SPDX-License-Identifier: Apache-2.0
#include "hex_command.h"

#include <string>

#include "args.h"
#include "usborva/hex_digits.h"
#include "usborva/text_guard.h"

namespace usborva::cli {

size_t CheckHexCommand(std::string_view command) {
  size_t digits = 0;
  for (size_t i = 0; i < command.size(); ++i) {
    const char c = command[i];
    if (c == ' ') continue;
    if (!IsHexDigit(c)) {
      // From the offending byte on, so a character of several bytes is shown whole.
      throw UsageError("COMMAND must be hexadecimal bytes such as \"0E 10\"; '" +
                       QuoteForMessage(command.substr(i), 1) + "' at position " +
                       std::to_string(i + 1) + " is not a hex digit");
    }
    ++digits;
  }
  if (digits == 0) throw UsageError("COMMAND is empty: give at least the report ID");
  return (digits + 1) / 2;
}

}  // namespace usborva::cli
