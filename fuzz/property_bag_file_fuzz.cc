// SPDX-License-Identifier: Apache-2.0
// Reads arbitrary bytes as a property-bag file, reads the control's keys from it, and
// checks that saving is stable: the saved text loads back to the same saved text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "usborva/automation_error.h"
#include "usborva/property_bag_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  const std::string_view data(reinterpret_cast<const char*>(bytes), size);
  usborva::PropertyBagFile bag = usborva::PropertyBagFile::Parse(data, "fuzz.bag");
  for (const char16_t* key : {u"CardData", u"Track1Length", u"PortOpen", u"DeviceState", u"a"}) {
    try {
      bag.ReadProperty(key, usborva::Variant());
    } catch (const usborva::AutomationError&) {
      // A bad line: the error is the expected outcome.
    }
  }
  const std::string saved = bag.Format();
  if (usborva::PropertyBagFile::Parse(saved, "fuzz.bag").Format() != saved) std::abort();
  return 0;
}
