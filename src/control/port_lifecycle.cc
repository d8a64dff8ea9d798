// SPDX-License-Identifier: Apache-2.0
// PortOpen: the one switch through which the host starts and stops all work with the
// terminal. Opening reads the terminal's identity; closing keeps it.
#include <array>
#include <string>

#include "diagnostics/diagnostics.h"
#include "transport/transport.h"
#include "usborva/convert.h"
#include "usborva/hid_system.h"
#include "usborva/usborva.h"

namespace usborva {
namespace {

enum DeviceString { kSerialNumber, kProduct, kFirmware };
constexpr uint32_t kFirmwareStringIndex = 4;
constexpr uint32_t kStringBufferLength = 128;

}  // namespace

bool USBORVA::get_PortOpen() const { return state_.PortOpen; }

void USBORVA::put_PortOpen(bool value) {
  if (!container_.UserMode()) throw AutomationError(error::kSetNotPermitted);
  // Past this point a failure of the open or close sequence ends the write silently: the
  // host learns the outcome by reading PortOpen back. Those failures are automation errors
  // (a device query's answer that is no hex text, the container refusing a notification);
  // anything else (no memory, a fault of our own, a handler's own exception) is not the
  // terminal's doing and goes on to the host's loop.
  try {
    if (value) {
      OpenPort();
    } else {
      ClosePort();
    }
  } catch (const AutomationError& error) {
    diagnostics::Note(DiagnosticTopic::kFeature, [&] {
      return std::string(value ? "open" : "close") + " sequence ended early: automation error " +
             std::to_string(error.number());
    });
  }
}

void USBORVA::OpenPort() {
  ++lifecycle_generation_;
  told_ = Told::kConnected;
  reconnect_unconfirmed_ = false;
  transport::DeviceRecord& record = transport::ThreadDeviceRecord();
  const auto fail_closed = [this] {
    state_.PortOpen = false;
    polling_ = false;
    tmrMain_->SetEnabled(false);
    container_.PropertyChanged(u"PortOpen");
  };
  if (!transport::InitTransport()) {
    fail_closed();
    return NoticeOpenFailed(OpenFailure::kEventCreationFailed);
  }
  transport::OpenDevice(terminal_choice_);
  if (record.DeviceHandle == kInvalidHandleValue) {
    fail_closed();
    return NoticeOpenFailed(OpenFailure::kNone);
  }
  const HidAttributes attributes = record.DeviceAttributes;
  state_.ReaderID = convert::FormatReaderID(static_cast<int16_t>(attributes.ProductID));
  if (!transport::IsSupportedDevice(attributes.VendorID, attributes.ProductID)) {
    // The configuration changed between the two reads: give the device back rather than
    // hold a handle nothing uses.
    transport::CloseDevice();
    container_.PropertyChanged(u"PortOpen");
    return NoticeOpenFailed(OpenFailure::kRefusedByConfigFile);
  }
  transport::SizeInputBuffer();
  state_.PortOpen = true;
  polling_ = true;
  tmrMain_->SetEnabled(true);
  ReadDeviceString(kSerialNumber, state_.DeviceSerialNum);
  ReadDeviceString(kProduct, state_.UsbProduct);
  ReadDeviceString(kFirmware, state_.Firmware);
  QueryBitmapCRC();
  QueryKeySerialNumbers();
  QueryDeviceConfig();
  QueryLabels();
  container_.PropertyChanged(u"PortOpen");
}

// One HID string descriptor into field, as UTF-16LE cut at its first NUL. A string that
// fills the whole buffer has no NUL; it is kept whole (64 characters) and the open goes on.
void USBORVA::ReadDeviceString(int which, String& field) {
  std::array<uint8_t, kStringBufferLength + 1> buffer{};
  HidSystem& hid = ThreadHidSystem();
  const Handle device = transport::ThreadDeviceRecord().DeviceHandle;
  bool ok = false;
  switch (which) {
    case kSerialNumber:
      ok = hid.HidD_GetSerialNumberString(device, buffer.data(), kStringBufferLength);
      break;
    case kProduct:
      ok = hid.HidD_GetProductString(device, buffer.data(), kStringBufferLength);
      break;
    default:
      ok = hid.HidD_GetIndexedString(device, kFirmwareStringIndex, buffer.data(),
                                     kStringBufferLength);
      break;
  }
  if (!ok) return;
  String text;
  for (size_t i = 0; i + 1 < buffer.size(); i += 2) {
    const char16_t unit = static_cast<char16_t>(buffer[i] | (buffer[i + 1] << 8));
    if (unit == u'\0') break;
    text.push_back(unit);
  }
  field = std::move(text);
}

void USBORVA::ClosePort() {
  ++lifecycle_generation_;
  reconnect_unconfirmed_ = false;
  polling_ = false;
  tmrMain_->SetEnabled(false);
  state_.PortOpen = false;
  transport::CloseDevice();
  transport::CloseReadEvent();
  container_.PropertyChanged(u"PortOpen");
}

}  // namespace usborva
