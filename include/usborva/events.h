// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_EVENTS_H_
#define USBORVA_EVENTS_H_

#include <cstdint>

#include "usborva/export.h"
#include "usborva/variant.h"

namespace usborva {

/// Dispatch identifiers of the event interface __USBORVA.
enum class EventId : int32_t {
  kCardDataChanged = 1,      ///< CardDataChanged
  kCardDataError = 2,        ///< CardDataError
  kDeviceStatusChanged = 3,  ///< DeviceStatusChanged
  kCardStatusChanged = 4,    ///< CardStatusChanged
  kPINResponse = 5,          ///< PINResponse
  kSelectResponse = 6,       ///< SelectResponse
  kDisplayDone = 7,          ///< DisplayDone
};

/// The host's handlers for the seven events. Every argument is passed by reference, as
/// the event interface declares; the control never reads back what a handler writes.
/// Handlers run synchronously inside a poll tick and may call any member of the control.
/// Override the events you want; the others do nothing. docs/api.md, "Events", has the
/// order of a swipe's reports.
class USBORVA_EXPORT EventSink {
 public:
  virtual ~EventSink() = default;
  /// A card was read: the card-data end item (report 0x23, item type 99) came with status 0.
  /// Track1Data to Track3Data, the encrypted tracks and SigilData hold the items it sent, and
  /// DUKPTKSN and SigilStatus are stored just before the call. CardData is not filled: assign
  /// it here for the parsing methods.
  virtual void CardDataChanged() {}
  /// The card-data end item came with a status other than 0: the terminal reports an error
  /// for this card. Nothing is stored for it, not even DUKPTKSN or SigilStatus.
  virtual void CardDataError() {}
  /// The terminal's device-status report 0x20: bytes 1 to 3, stored first in the properties
  /// of the same names. The terminal's own status bytes, passed on unchanged (docs/api.md,
  /// "Status bytes").
  virtual void DeviceStatusChanged(uint8_t& DeviceState, uint8_t& SessionStatus,
                                   uint8_t& DeviceStatus) {
    (void)DeviceState, (void)SessionStatus, (void)DeviceStatus;
  }
  /// The terminal's card-status report 0x22: bytes 1 to 3, as the terminal sent them; nothing
  /// is stored.
  virtual void CardStatusChanged(uint8_t& OpStatus, uint8_t& CardStatus, uint8_t& CardType) {
    (void)OpStatus, (void)CardStatus, (void)CardType;
  }
  /// The terminal's PIN report 0x24: OpStatus is byte 1, KSN the key serial number (bytes 2
  /// to 11 as 20 hex characters), EPB the encrypted PIN block (bytes 12 to 19 as 16 hex
  /// characters). Nothing is stored, and the control wipes KSN and EPB once the handler
  /// returns: copy what the payment host needs, and never show or log EPB.
  virtual void PINResponse(uint8_t& OpStatus, String& KSN, String& EPB) {
    (void)OpStatus, (void)KSN, (void)EPB;
  }
  /// The terminal's selection report 0x25: OpStatus is byte 1, KeyPressed byte 2, as sent.
  virtual void SelectResponse(uint8_t& OpStatus, uint8_t& KeyPressed) {
    (void)OpStatus, (void)KeyPressed;
  }
  /// The terminal's display report 0x27: DisplayStatus is byte 1, as sent.
  virtual void DisplayDone(uint8_t& DisplayStatus) { (void)DisplayStatus; }
};

}  // namespace usborva

#endif  // USBORVA_EVENTS_H_
