// SPDX-License-Identifier: Apache-2.0
// Input report dispatch: one complete report from the terminal becomes property values and
// at most one event. Every offset is checked before it is read; a report too short for
// its layout is ignored as a whole. Everything a report carries is read before its event
// is raised, because a handler may reopen the port and replace the input buffer.
#include <array>

#include "automation/secure_wipe.h"
#include "usborva/convert.h"
#include "usborva/protocol.h"
#include "usborva/usborva.h"

namespace usborva {
namespace {

// The field a card-data item of this type fills, or nullptr for the end item and for types
// the terminal does not send.
String* CardItemField(ControlState& state, uint8_t item_type) {
  switch (item_type) {
    case protocol::kCardItemTrack1:
      return &state.Track1Data;
    case protocol::kCardItemTrack2:
      return &state.Track2Data;
    case protocol::kCardItemTrack3:
      return &state.Track3Data;
    case protocol::kCardItemEncTrack1:
      return &state.EncTrack1Data;
    case protocol::kCardItemEncTrack2:
      return &state.EncTrack2Data;
    case protocol::kCardItemEncTrack3:
      return &state.EncTrack3Data;
    case protocol::kCardItemSigil:
      return &state.SigilData;
    default:
      return nullptr;
  }
}

}  // namespace

void USBORVA::DispatchInputReport(std::span<const uint8_t> report) {
  if (report.empty()) return;
  EventSink& sink = container_.Events();
  switch (report[0]) {
    case protocol::kReportDeviceStatus: {
      if (report.size() < protocol::kStatusReportLength) return;
      std::array<uint8_t, 3> args = {report[1], report[2], report[3]};
      state_.DeviceState = args[0];
      state_.SessionStatus = args[1];
      state_.DeviceStatus = args[2];
      sink.DeviceStatusChanged(args[0], args[1], args[2]);
      return;
    }
    case protocol::kReportCardStatus: {
      if (report.size() < protocol::kStatusReportLength) return;
      std::array<uint8_t, 3> args = {report[1], report[2], report[3]};
      sink.CardStatusChanged(args[0], args[1], args[2]);
      return;
    }
    case protocol::kReportCardData:
      DispatchCardDataItem(report);
      return;
    case protocol::kReportPINResponse: {
      if (report.size() < protocol::kPINResponseLength) return;
      uint8_t op_status = report[protocol::kPINStatusOffset];
      String ksn = convert::BytesToHex(report, protocol::kPINKsnOffset, protocol::kKsnLength);
      String epb =
          convert::BytesToHex(report, protocol::kPINBlockOffset, protocol::kPINBlockLength);
      // The host has had them; what the handler left in the texts goes too.
      automation_internal::ScopedWipe wipe_ksn(ksn);
      automation_internal::ScopedWipe wipe_epb(epb);
      sink.PINResponse(op_status, ksn, epb);
      return;
    }
    case protocol::kReportSelectResponse: {
      if (report.size() < protocol::kSelectResponseLength) return;
      std::array<uint8_t, 2> args = {report[1], report[2]};
      sink.SelectResponse(args[0], args[1]);
      return;
    }
    case protocol::kReportDisplayDone: {
      if (report.size() < protocol::kDisplayDoneLength) return;
      uint8_t display_status = report[1];
      sink.DisplayDone(display_status);
      return;
    }
    default:
      return;
  }
}

void USBORVA::DispatchCardDataItem(std::span<const uint8_t> report) {
  if (report.size() < protocol::kCardItemDataOffset) return;
  const uint8_t item_type = report[protocol::kCardItemTypeOffset];
  if (String* field = CardItemField(state_, item_type)) {
    const int32_t length = report[protocol::kCardItemLengthOffset];
    if (report.size() < protocol::kCardItemDataOffset + static_cast<size_t>(length)) return;
    *field = protocol::IsTrackTextItem(item_type)
                 ? convert::BytesToText(report, protocol::kCardItemDataOffset, length)
                 : convert::BytesToHex(report, protocol::kCardItemDataOffset, length);
    return;
  }
  if (item_type != protocol::kCardItemEnd) return;
  EventSink& sink = container_.Events();
  if (report[protocol::kCardItemStatusOffset] != 0) {
    sink.CardDataError();
    return;
  }
  if (report.size() < protocol::kCardEndLength) return;
  state_.DUKPTKSN = convert::BytesToHex(report, protocol::kCardEndKsnOffset, protocol::kKsnLength);
  // A status whose hex digits include a letter is no decimal numeral: the card data still
  // arrived, so the KSN and the event stand, and SigilStatus keeps its previous value.
  if (const std::optional<int32_t> sigil_status = protocol::SigilStatusValue(
          report.subspan(protocol::kSigilStatusOffset, protocol::kSigilStatusLength))) {
    state_.SigilStatus = *sigil_status;
  }
  sink.CardDataChanged();
}

}  // namespace usborva
