// SPDX-License-Identifier: Apache-2.0
#include <algorithm>
#include <string>

#include "diagnostics/diagnostics.h"
#include "transport/transport.h"

namespace usborva::transport {
namespace {

// A read that failed for any reason but "not done yet" gives the device up; the poll loop
// then reconnects. The error is kept for the host's notification of the loss.
void LoseDevice(DeviceRecord& record, const char* step, uint32_t error) {
  record.Observed.read_error = error;
  diagnostics::Note(DiagnosticTopic::kRead, [&] {
    return record.Observed.device_path + ": " + step + " failed (error " + std::to_string(error) +
           "); device closed, the poll loop reconnects";
  });
  CloseDevice();
}

}  // namespace

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
    diagnostics::Note(DiagnosticTopic::kOpen, [&] {
      return "the read event could not be created (error " +
             std::to_string(ThreadHidSystem().GetLastError()) + "): the port stays closed";
    });
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
    if (const uint32_t error = hid.GetLastError(); error != kErrorIoIncomplete) {
      LoseDevice(record, "collecting a read", error);
    }
    return false;
  }
  if (record.InputReport.empty()) return false;
  if (!hid.ResetEvent(record.ReadEvent)) {
    record.TransportStatus = "ResetEvent Failed";
    diagnostics::Note(DiagnosticTopic::kRead, [&] {
      return "the read event could not be reset (error " + std::to_string(hid.GetLastError()) +
             "): polling halts until the port is opened again";
    });
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
  if (const uint32_t error = hid.GetLastError(); error == kErrorIoPending) {
    record.ReadPending = true;
  } else {
    LoseDevice(record, "starting a read", error);
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
