// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TOOLS_HEX_COMMAND_H_
#define USBORVA_TOOLS_HEX_COMMAND_H_

#include <cstddef>
#include <string_view>

namespace usborva::cli {

// The COMMAND of `send` as the control will read it: spaces anywhere, hexadecimal digits in
// pairs (an odd last digit is a byte of its own). Returns its byte count; anything else
// throws UsageError, so a typing mistake is never sent as a silent 0.
size_t CheckHexCommand(std::string_view command);

}  // namespace usborva::cli

#endif  // USBORVA_TOOLS_HEX_COMMAND_H_
