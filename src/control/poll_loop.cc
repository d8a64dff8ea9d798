// SPDX-License-Identifier: Apache-2.0
// The poll loop: every tick of tmrMain takes one small step and never waits for the
// terminal: reconnect when no device is held, or advance the overlapped read and dispatch
// a report that has arrived.
#include "transport/transport.h"
#include "usborva/convert.h"
#include "usborva/usborva.h"

namespace usborva {

void USBORVA::PollTick() {
  transport::DeviceRecord& record = transport::ThreadDeviceRecord();
  if (!record.TransportStatus.empty()) return;  // idle on error until the port is reopened
  tmrMain_->SetEnabled(false);                  // no tick re-enters while a handler runs
  const uint64_t generation = lifecycle_generation_;
  try {
    if (record.DeviceHandle == kInvalidHandleValue) {
      ReconnectDevice();
    } else {
      const bool report = transport::ReadInputReport();
      if (reconnect_unconfirmed_) NoticeBack();
      if (report) {
        DispatchInputReport(record.InputReport);
      } else if (record.DeviceHandle == kInvalidHandleValue || !record.TransportStatus.empty()) {
        NoticeReadFailure();  // a read error gave the device up, or polling halted
      }
    }
  } catch (...) {
    // An exception from the host's own handler goes back to the host's loop, but the
    // loop must not stop polling because of it.
    RearmAfterTick(generation);
    throw;
  }
  RearmAfterTick(generation);
}

// A handler that closed or ended the port during the tick, or whose open failed, has
// stopped polling: re-arming the timer would reopen a terminal the host just closed. A
// handler whose open started the timer needs nothing. But an open that stopped at the
// matching re-check leaves the timer as it found it, and inside a tick that is the tick's
// own re-entry guard: left off, PortOpen would read True with nothing ever polling again.
// Otherwise polling goes on.
void USBORVA::RearmAfterTick(uint64_t generation) {
  if (lifecycle_generation_ == generation || polling_) tmrMain_->SetEnabled(true);
}

void USBORVA::ReconnectDevice() {
  transport::DeviceRecord& record = transport::ThreadDeviceRecord();
  transport::OpenDevice(terminal_choice_);
  if (record.DeviceHandle == kInvalidHandleValue) return;
  const HidAttributes& attributes = record.DeviceAttributes;
  if (transport::IsSupportedDevice(attributes.VendorID, attributes.ProductID)) {
    state_.ReaderID = convert::FormatReaderID(static_cast<int16_t>(attributes.ProductID));
    transport::SizeInputBuffer();
    reconnect_unconfirmed_ = true;
  } else {
    record.TransportStatus = "Incompatible device attached";
    NoticeIdle();
  }
}

}  // namespace usborva
