// SPDX-License-Identifier: Apache-2.0
// The command texts of the identity questions, in the hex form the feature-report methods
// read: report ID first, the rest of the report left to be zero-filled.
#include "usborva/convert.h"
#include "usborva/protocol.h"

namespace usborva::protocol {

String InfoCommand(InfoItem item) {
  const uint8_t command[] = {kFeatureInfo, item};
  static_assert(kInfoItemOffset == 1, "the item follows the report ID");
  return convert::BytesToHexSpaced(command, 0, sizeof command);
}

String ConfigCommand() {
  const uint8_t command[] = {kFeatureConfig};
  return convert::BytesToHexSpaced(command, 0, sizeof command);
}

}  // namespace usborva::protocol
