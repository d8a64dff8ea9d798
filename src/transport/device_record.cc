// SPDX-License-Identifier: Apache-2.0
#include "transport/device_record.h"

namespace usborva::transport {

DeviceRecord& ThreadDeviceRecord() {
  // One record per thread, zeroed at first use, shared by every control on the thread.
  thread_local DeviceRecord record;
  return record;
}

}  // namespace usborva::transport
