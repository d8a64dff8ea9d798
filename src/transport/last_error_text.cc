// SPDX-License-Identifier: Apache-2.0
#include "usborva/hid_system.h"
#include "usborva/last_error.h"

namespace usborva {

std::string LastErrorText(uint32_t error) {
  switch (error) {
    case kErrorAccessDenied:
      return "permission denied";
    case kErrorFileNotFound:
      return "no such device";
    case kErrorDeviceNotConnected:
      return "the device is gone";
    case kErrorInvalidHandle:
      return "the device is not open";
    case kErrorNotEnoughMemory:
      return "out of memory";
    case kErrorGenFailure:
      return "the device failed the request";
    case kErrorNotSupported:
      return "the device does not support the request";
    case kErrorInvalidParameter:
      return "the request is not valid for this device";
    case kErrorOperationAborted:
      return "the request was cancelled";
    default:
      return "error " + std::to_string(error);
  }
}

}  // namespace usborva
