// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_TRANSPORT_DEVICE_RECORD_H_
#define USBORVA_TRANSPORT_DEVICE_RECORD_H_

#include <cstdint>
#include <string>
#include <vector>

#include "usborva/hid_system.h"

namespace usborva::transport {

// How the last OpenDevice of the thread ended. The failures are listed from the most telling
// to the least: when several interfaces fail, the open keeps the most telling. Only
// observed: the transport's own steps never read it.
enum class OpenOutcome : uint8_t {
  kNotTried,
  kOpened,               // opened for reading and writing
  kOpenedForQueryOnly,   // read/write access refused (error 5), opened with access 0
  kDeviceFailed,         // a supported terminal whose attributes, descriptor or caps failed
  kRefusedByConfigFile,  // a terminal the configuration file refuses (or an unusable file)
  kRefusedByRules,       // a terminal of the vendor whose product ID the built-in list lacks
  kAccessDenied,         // an interface that could not be opened at all: access refused
  kNoTerminal,           // nothing of the terminal's vendor (or no interface at all)
};

// What the transport saw of the device's comings and goings, for the host's connection
// notifications and the debug channel. Nothing the transport does depends on it.
struct ConnectionObservations {
  OpenOutcome open = OpenOutcome::kNotTried;
  uint32_t read_error = 0;  // the error of the read that last gave the device up
  std::string device_path;  // the path of the device held, or last held
};

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
  ConnectionObservations Observed;
};

// The calling thread's record.
DeviceRecord& ThreadDeviceRecord();

}  // namespace usborva::transport

#endif  // USBORVA_TRANSPORT_DEVICE_RECORD_H_
