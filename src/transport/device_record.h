// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TRANSPORT_DEVICE_RECORD_H_
#define USBORVA_TRANSPORT_DEVICE_RECORD_H_

#include <cstdint>
#include <string>
#include <vector>

#include "usborva/hid_system.h"

namespace usborva::transport {

// The transport state of one thread, shared by every control on that thread: one device
// handle, one input buffer, one read event. It starts all zeros (DeviceHandle 0, not -1,
// until InitTransport first runs).
struct DeviceRecord {
  std::string TransportStatus;  // "" while healthy
  Handle DeviceHandle = 0;
  HidCaps DeviceCaps;  // kept after CloseDevice: the last device's lengths
  SecurityAttributes DeviceSecurity;
  std::vector<uint8_t> InputReport;    // byte 0 = report ID; the driver's while a read is out
  std::vector<uint8_t> MessageBuffer;  // sized and filled by InterpretMsg only
  HidAttributes DeviceAttributes;
  Handle PreparsedData = 0;
  Handle ReadEvent = 0;
  bool ReadPending = false;
  Overlapped ReadOverlapped;
  uint32_t BytesRead = 0;
};

// The calling thread's record.
DeviceRecord& ThreadDeviceRecord();

}  // namespace usborva::transport

#endif  // USBORVA_TRANSPORT_DEVICE_RECORD_H_
