// SPDX-License-Identifier: Apache-2.0
// Makes the machine with no devices the build's native backend (compiled only when the build
// chose it: a platform with no HID backend of its own).
#include "platform/null/null_hid_system.h"
#include "usborva/hid_system.h"

namespace usborva {

// One per thread, as every HidSystem is used from one thread.
HidSystem& NativeHidSystem() {
  thread_local null::NullHidSystem system;
  return system;
}

}  // namespace usborva
