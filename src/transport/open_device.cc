// SPDX-License-Identifier: Apache-2.0
#include <string>

#include "transport/candidate.h"
#include "transport/transport.h"

namespace usborva::transport {

void OpenDevice(const TerminalChoice& choice) {
  DeviceRecord& record = ThreadDeviceRecord();
  // Never a second handle over one still held.
  if (record.DeviceHandle != kInvalidHandleValue && record.DeviceHandle != 0) return;
  record.DeviceHandle = kInvalidHandleValue;
  HidSystem& hid = ThreadHidSystem();
  // The first interface that passes every test is taken; the search stops there.
  ForEachInterfacePath(hid, [&](const std::string& path) {
    return TryCandidate(hid, record, path, choice, nullptr).verdict != InterfaceVerdict::kSupported;
  });
}

void CloseDevice() { CloseRecord(ThreadHidSystem(), ThreadDeviceRecord()); }

}  // namespace usborva::transport
