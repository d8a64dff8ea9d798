// SPDX-License-Identifier: Apache-2.0
// Input reports straight from a hostile terminal: the dispatch must neither crash nor read
// outside the report, whatever its ID, item type, length byte or size, and the events it
// raises must carry what the report says.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "fuzz_checks.h"
#include "usborva/usborva.h"
#include "usborva_test/null_container.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  usborva::fuzz::PinShapeCheck events;
  usborva::test::NullContainer container(&events);
  usborva::USBORVA control(container);
  control.InitProperties();
  // Several reports in one input: the first byte of each chunk gives its length.
  std::span<const uint8_t> rest(data, size);
  while (!rest.empty()) {
    const size_t length = std::min<size_t>(rest[0], rest.size() - 1);
    control.DispatchInputReport(rest.subspan(1, length));
    rest = rest.subspan(1 + length);
  }
  if (control.get_EncTrack1Data().size() % 2 != 0) std::abort();  // whole hex pairs only
  return 0;
}
