// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TOOLS_REPORT_LAYOUT_H_
#define USBORVA_TOOLS_REPORT_LAYOUT_H_

#include <optional>
#include <string>
#include <string_view>

namespace usborva::cli {

// What an answer's bytes mean, for the two layouts a person reads most, from OutPutData
// (hexadecimal bytes, report ID first, as the control gives it), by usborva/protocol.h:
//   0x0E (an item):          byte 3 is the length n, the item's data is bytes 4 .. 4+n-1
//   0x09 (the configuration): bytes 1-8
// label is what the bytes are ("Data", "Configuration"); bytes are in hexadecimal, cut to
// what the answer holds. nullopt for another report or text that is not hexadecimal.
struct DecodedOutput {
  std::string label;
  std::string bytes;
};
std::optional<DecodedOutput> DecodeOutPutData(std::string_view hex);

// Whether a Get of this COMMAND (hexadecimal, as `send` takes it) names a 0x0E item: a Get
// sends only the report ID, so the item must be selected by a Set first.
bool IsItemReport(std::string_view command);

}  // namespace usborva::cli

#endif  // USBORVA_TOOLS_REPORT_LAYOUT_H_
