// SPDX-License-Identifier: Apache-2.0
// Saved control state read back from a container's stream: a damaged or hostile stream
// must be refused or read whole, never crash, and what reads back must save back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "activex/stream_bag.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto bag = usborva::activex::StreamBag::Decode(data, size);
  if (!bag) return 0;
  const std::vector<uint8_t> saved = bag->Encode();
  const auto again = usborva::activex::StreamBag::Decode(saved.data(), saved.size());
  if (!again || again->Encode() != saved) std::abort();
  return 0;
}
