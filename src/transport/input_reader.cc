// SPDX-License-Identifier: Apache-2.0
#include <algorithm>

#include "transport/transport.h"

namespace usborva::transport {

bool InitTransport() {
  DeviceRecord& record = ThreadDeviceRecord();
  // Whatever an earlier open left is released first, so exactly one device and one event
  // are ever held and no outstanding read can write into a buffer replaced later.
  if ((record.DeviceHandle != kInvalidHandleValue && record.DeviceHandle != 0) ||
      record.PreparsedData != 0) {
    CloseDevice();
  }
  CloseReadEvent();
  record.TransportStatus.clear();
  record.DeviceHandle = kInvalidHandleValue;
  record.PreparsedData = 0;
  record.ReadEvent = ThreadHidSystem().CreateEventA(/*manual_reset=*/true, /*initial_state=*/false);
  record.ReadPending = false;
  if (record.ReadEvent == 0) {
    record.TransportStatus = "CreateEvent Failed";
    return false;
  }
  return true;
}

void SizeInputBuffer() {
  DeviceRecord& record = ThreadDeviceRecord();
  if (record.ReadPending && record.DeviceHandle != kInvalidHandleValue) {
    // The buffer belongs to the driver while a read is out: take it back first.
    record.ReadPending = false;
    ThreadHidSystem().CancelIo(record.DeviceHandle);
  }
  // A device without input reports gets an empty buffer, which is never read into.
  int16_t length = record.DeviceCaps.InputReportByteLength;
  record.InputReport.assign(static_cast<size_t>(std::max<int16_t>(length, 0)), 0);
}

bool ReadInputReport() {
  DeviceRecord& record = ThreadDeviceRecord();
  HidSystem& hid = ThreadHidSystem();
  if (record.ReadPending) {
    if (hid.GetOverlappedResult(record.DeviceHandle, &record.ReadOverlapped, &record.BytesRead,
                                /*wait=*/false)) {
      record.ReadPending = false;
      return true;
    }
    if (hid.GetLastError() != kErrorIoIncomplete) CloseDevice();
    return false;
  }
  if (record.InputReport.empty()) return false;
  if (!hid.ResetEvent(record.ReadEvent)) {
    record.TransportStatus = "ResetEvent Failed";
    return false;
  }
  record.ReadOverlapped = Overlapped{};
  record.ReadOverlapped.hEvent = record.ReadEvent;
  // Never more than the buffer holds, should it not have been sized for this device.
  uint32_t length = std::min<uint32_t>(
      static_cast<uint32_t>(std::max<int16_t>(record.DeviceCaps.InputReportByteLength, 0)),
      static_cast<uint32_t>(record.InputReport.size()));
  if (hid.ReadFile(record.DeviceHandle, record.InputReport.data(), length, &record.BytesRead,
                   &record.ReadOverlapped)) {
    return true;
  }
  if (hid.GetLastError() == kErrorIoPending) {
    record.ReadPending = true;
  } else {
    CloseDevice();
  }
  return false;
}

void CloseReadEvent() {
  DeviceRecord& record = ThreadDeviceRecord();
  if (record.ReadEvent != 0) {
    ThreadHidSystem().CloseHandle(record.ReadEvent);
    record.ReadEvent = 0;
  }
}

}  // namespace usborva::transport
