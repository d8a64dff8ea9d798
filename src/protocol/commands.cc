// SPDX-License-Identifier: Apache-2.0
// The command texts of the identity questions, in the hex form the feature-report methods
// read: report ID first, the rest of the report left to be zero-filled.
#include "usborva/convert.h"
#include "usborva/protocol.h"

namespace usborva::protocol {

String InfoCommand(InfoItem item) {
  std::array<uint8_t, kInfoItemOffset + 1> command{};
  command[0] = kFeatureInfo;
  command[kInfoItemOffset] = item;
  return convert::BytesToHexSpaced(command, 0, static_cast<int32_t>(command.size()));
}

String ConfigCommand() {
  const uint8_t command[] = {kFeatureConfig};
  return convert::BytesToHexSpaced(command, 0, sizeof command);
}

}  // namespace usborva::protocol
