// SPDX-License-Identifier: Apache-2.0
// Input report dispatch: one complete report from the terminal becomes property values and
// at most one event. Every offset is checked before it is read; a report too short for
// its layout is ignored as a whole. Everything a report carries is read before its event
// is raised, because a handler may reopen the port and replace the input buffer.
#include <array>

#include "automation/secure_wipe.h"
#include "usborva/convert.h"
#include "usborva/usborva.h"

namespace usborva {
namespace {

constexpr uint8_t kDeviceStatusReport = 0x20;
constexpr uint8_t kCardStatusReport = 0x22;
constexpr uint8_t kCardDataReport = 0x23;
constexpr uint8_t kPinResponseReport = 0x24;
constexpr uint8_t kSelectResponseReport = 0x25;
constexpr uint8_t kDisplayDoneReport = 0x27;
constexpr uint8_t kCardDataEndItem = 99;

constexpr size_t kKsnOffset = 4;  // of the card-data end item
constexpr size_t kKsnLength = 10;
constexpr size_t kSigilStatusOffset = 14;
constexpr size_t kSigilStatusLength = 4;

// The SigilStatus text is the hex form of four bytes read back as a decimal numeral
// (00 00 10 00 is 1000). False when a hex digit is a letter.
bool DecimalFromHexDigits(std::span<const uint8_t> bytes, int32_t& value) {
  int32_t result = 0;
  for (uint8_t b : bytes) {
    const int high = b >> 4;
    const int low = b & 0x0F;
    if (high > 9 || low > 9) return false;
    result = result * 100 + high * 10 + low;
  }
  value = result;
  return true;
}

}  // namespace

void USBORVA::DispatchInputReport(std::span<const uint8_t> report) {
  if (report.empty()) return;
  EventSink& sink = container_.Events();
  switch (report[0]) {
    case kDeviceStatusReport: {
      if (report.size() < 4) return;
      std::array<uint8_t, 3> args = {report[1], report[2], report[3]};
      state_.DeviceState = args[0];
      state_.SessionStatus = args[1];
      state_.DeviceStatus = args[2];
      sink.DeviceStatusChanged(args[0], args[1], args[2]);
      return;
    }
    case kCardStatusReport: {
      if (report.size() < 4) return;
      std::array<uint8_t, 3> args = {report[1], report[2], report[3]};
      sink.CardStatusChanged(args[0], args[1], args[2]);
      return;
    }
    case kCardDataReport:
      DispatchCardDataItem(report);
      return;
    case kPinResponseReport: {
      if (report.size() < 20) return;
      uint8_t op_status = report[1];
      String ksn = convert::BytesToHex(report, 2, 10);
      String epb = convert::BytesToHex(report, 12, 8);
      // The host has had them; what the handler left in the texts goes too.
      automation_internal::ScopedWipe wipe_ksn(ksn);
      automation_internal::ScopedWipe wipe_epb(epb);
      sink.PINResponse(op_status, ksn, epb);
      return;
    }
    case kSelectResponseReport: {
      if (report.size() < 3) return;
      std::array<uint8_t, 2> args = {report[1], report[2]};
      sink.SelectResponse(args[0], args[1]);
      return;
    }
    case kDisplayDoneReport: {
      if (report.size() < 2) return;
      uint8_t display_status = report[1];
      sink.DisplayDone(display_status);
      return;
    }
    default:
      return;
  }
}

void USBORVA::DispatchCardDataItem(std::span<const uint8_t> report) {
  if (report.size() < 4) return;
  const uint8_t item_type = report[1];
  const uint8_t item_status = report[2];
  const int32_t length = report[3];
  String* field = nullptr;
  bool as_hex = true;
  switch (item_type) {
    case 1:
      field = &state_.Track1Data, as_hex = false;
      break;
    case 2:
      field = &state_.Track2Data, as_hex = false;
      break;
    case 3:
      field = &state_.Track3Data, as_hex = false;
      break;
    case 4:
      field = &state_.EncTrack1Data;
      break;
    case 5:
      field = &state_.EncTrack2Data;
      break;
    case 6:
      field = &state_.EncTrack3Data;
      break;
    case 7:
      field = &state_.SigilData;
      break;
    case kCardDataEndItem:
      break;
    default:
      return;
  }
  if (field != nullptr) {
    if (report.size() < 4 + static_cast<size_t>(length)) return;
    *field =
        as_hex ? convert::BytesToHex(report, 4, length) : convert::BytesToText(report, 4, length);
    return;
  }
  EventSink& sink = container_.Events();
  if (item_status != 0) {
    sink.CardDataError();
    return;
  }
  if (report.size() < kSigilStatusOffset + kSigilStatusLength) return;
  state_.DUKPTKSN = convert::BytesToHex(report, kKsnOffset, kKsnLength);
  DecimalFromHexDigits(report.subspan(kSigilStatusOffset, kSigilStatusLength), state_.SigilStatus);
  sink.CardDataChanged();
}

}  // namespace usborva
