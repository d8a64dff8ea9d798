// SPDX-License-Identifier: Apache-2.0
// Commands to the terminal as feature reports written in hexadecimal text, and the
// parsing of such text into the message buffer.
#include <algorithm>
#include <string>
#include <vector>

#include "diagnostics/diagnostics.h"
#include "transport/device_record.h"
#include "usborva/convert.h"
#include "usborva/hid_system.h"
#include "usborva/usborva.h"

namespace usborva {

int32_t USBORVA::GetFeatureReport(String CommandString, Variant& OutPutData) {
  return ExchangeFeatureReport(true, CommandString, OutPutData);
}

int32_t USBORVA::SetFeatureReport(String CommandString, Variant& OutPutData) {
  return ExchangeFeatureReport(false, CommandString, OutPutData);
}

// Fails silently: the host sees no error, only a result of 0, and nothing after the
// failing step happens.
int32_t USBORVA::ExchangeFeatureReport(bool get, const String& command, Variant& output) {
  int32_t result = 0;
  try {
    transport::DeviceRecord& record = transport::ThreadDeviceRecord();
    const int16_t length = record.DeviceCaps.FeatureReportByteLength;
    if (length <= 0) return 0;  // no device opened since load
    std::vector<uint8_t> report(static_cast<size_t>(length), 0);
    convert::HexToBytesInto(command, report);
    HidSystem& hid = ThreadHidSystem();
    const uint32_t size = static_cast<uint32_t>(length);
    result = get ? hid.HidD_GetFeature(record.DeviceHandle, report.data(), size)
                 : hid.HidD_SetFeature(record.DeviceHandle, report.data(), size);
    if (result != 1) {
      diagnostics::Note(DiagnosticTopic::kFeature, [&] {
        return std::string(get ? "get" : "set") + " of a " + std::to_string(length) +
               "-byte feature report refused: error " + std::to_string(hid.GetLastError());
      });
    }
    // The last byte of the report is not rendered.
    if (result == 1) output = Variant::FromString(convert::BytesToHexSpaced(report, 0, length - 1));
    state_.SwipeCommandOutput = ToString(output);
    container_.PropertyChanged(u"SwipeCommandOutput");
  } catch (const AutomationError& error) {
    // Command text that is no hex or longer than the report (13, 9, 6), an OutPutData that
    // is no text (13, 94), the container refusing the notification: the exchange ends with
    // the result so far. Anything else is no failure of the exchange and reaches the host.
    diagnostics::Note(DiagnosticTopic::kFeature, [&] {
      return std::string(get ? "get" : "set") + " feature exchange ended: automation error " +
             std::to_string(error.number());
    });
  }
  return result;
}

bool USBORVA::InterpretMsg(String& sText) {
  transport::DeviceRecord& record = transport::ThreadDeviceRecord();
  const int16_t length = record.DeviceCaps.FeatureReportByteLength;
  record.MessageBuffer.assign(static_cast<size_t>(std::max<int16_t>(length, 0)), 0);
  // Errors 13 and 9 reach the host; the bytes parsed before the failing pair stay.
  convert::HexToBytesInto(sText, record.MessageBuffer);
  return true;
}

}  // namespace usborva
