// SPDX-License-Identifier: Apache-2.0
// Makes hidraw the build's native backend (compiled only when the build chose it).
#include "usborva/hid_system.h"
#include "usborva/hidraw_hid_system.h"

namespace usborva {

// One per thread, as every HidSystem is used from one thread.
HidSystem& NativeHidSystem() {
  thread_local HidrawHidSystem system;
  return system;
}

}  // namespace usborva
